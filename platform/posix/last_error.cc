// The per-thread last error. It lives in this one shared library so that the
// library, the toolkit, the component and the application all see the same
// value on a thread, as they do with kernel32 on Windows.
#include "kdplatform/win32.h"

namespace {
thread_local DWORD t_lastError = 0;
}  // namespace

DWORD WINAPI kdp::GetLastError(void) { return t_lastError; }

void WINAPI kdp::SetLastError(DWORD code) { t_lastError = code; }
