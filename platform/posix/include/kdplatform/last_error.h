// The thread's last error, one for the whole process (libkdplatform), which
// the library's functions set as the Win32 calls of the same names do. In
// namespace kdp, so that the process's global C names stay free for the
// system and for other libraries that imitate the same calls.
#pragma once

#include "kdplatform/api_types.h"
#include "kdplatform/export.h"

namespace kdp {

KDPLATFORM_API DWORD WINAPI GetLastError(void);
KDPLATFORM_API void WINAPI SetLastError(DWORD code);

}  // namespace kdp

using kdp::GetLastError;
using kdp::SetLastError;
