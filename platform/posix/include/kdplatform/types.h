// The Win32 vocabulary beyond what the API needs (kdplatform/api_types.h):
// BOOL's TRUE and FALSE, MAX_PATH, and the result macros.
#pragma once

#include "kdplatform/api_types.h"

#include <cstdint>

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAX_PATH 260

// Calling conventions mean nothing on x86-64 Linux.
#define CALLBACK

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define FACILITY_WIN32 7
#define MAKE_HRESULT(sev, fac, code)                                                                       \
  static_cast<HRESULT>((static_cast<std::uint32_t>(sev) << 31) | (static_cast<std::uint32_t>(fac) << 16) | \
                       static_cast<std::uint32_t>(code))

#define HRESULT_CODE(hr) (static_cast<std::uint32_t>(hr) & 0xFFFFu)
