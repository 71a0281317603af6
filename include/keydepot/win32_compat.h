// Opt-in: the Windows vocabulary beyond what the API's signatures need
// (<keydepot/keydepot.h> brings only the types and result codes): TRUE and
// FALSE, SUCCEEDED and FAILED, HRESULT_CODE, the Win32 error codes the
// library leaves in the thread's last error, and GetLastError and
// SetLastError to read and clear it. On Windows these are the system's own;
// on Linux the platform layer's, declared in namespace kdp and brought into
// the global namespace here only.
#pragma once

#include "kdplatform/errors.h"
#include "kdplatform/last_error.h"
#include "kdplatform/types.h"
