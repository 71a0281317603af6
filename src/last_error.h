// The two last errors a failing storage, storage-path or saved-PIN call
// leaves: the process-wide toolkit code that KDPGetLastError reads (one int,
// 0 when the library is loaded; one value for all threads, so callers read it
// right after the failing call), and the calling thread's Win32 last error.
// One helper per rule, so each call site says which rule it follows.
#pragma once

#include "kdplatform/win32.h"

namespace keydepot::detail {

// The toolkit code only; the thread's last error is left as it is.
void SetLastErrorStore(int toolkitCode) noexcept;
int LastErrorStore() noexcept;

// Both codes, as the caller chose them.
void FailWith(int toolkitCode, DWORD win32Code) noexcept;
// A toolkit code, and the Win32 code it maps to as the thread's last error.
void FailWithToolkitCode(int toolkitCode) noexcept;
// A Win32 code as the thread's last error, and the toolkit code it maps to.
void FailWithWin32Code(DWORD win32Code) noexcept;
// The low 16 bits of an HRESULT as a Win32 code (FailWithWin32Code).
void FailWithHResultCode(HRESULT hr) noexcept;

}  // namespace keydepot::detail
