// Win32 error codes for the errno values file-system calls report.
#pragma once

#include "kdplatform/types.h"

namespace kdp::detail {

DWORD Win32ErrorFromErrno(int error) noexcept;

}  // namespace kdp::detail
