// The one translation of C library error numbers (errno) into the Win32
// codes that this project reports, so that the toolkit, the library and the
// component report one failure the same way.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/types.h"

namespace kdp {

// 0 for 0; ERROR_GEN_FAILURE for numbers without a closer Win32 code.
KDPLATFORM_API DWORD Win32ErrorFromErrno(int error) noexcept;

}  // namespace kdp
