// The library's own module handle, recorded by the entry point when the
// process attaches the library, and the path of the component next to it.
#pragma once

#include "kdplatform/win32.h"

#include <string>

namespace keydepot::detail {

// The component's file name: nodyx.dll on Windows, nodyx.so elsewhere.
inline constexpr const char kComponentFileName[] = "nodyx" KDP_MODULE_SUFFIX;

void RecordOwnModule(HMODULE module) noexcept;
HMODULE OwnModule() noexcept;

// Full path of the component: the folder of the library's own file, the
// separator, kComponentFileName. Returns 0 and writes the terminated path, or
// a Win32 error code (ERROR_FILENAME_EXCED_RANGE when the path does not fit)
// and leaves `path` unchanged. No registry value, environment variable or
// search path is consulted. Written into the caller's buffer: each filter
// open asks for it, and a string would cost an allocation each time.
DWORD GetComponentPath(char (&path)[MAX_PATH]);

}  // namespace keydepot::detail
