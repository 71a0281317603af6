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
// separator, kComponentFileName. Returns 0 and sets *path, or a Win32 error
// code and leaves *path unchanged. No registry value, environment variable or
// search path is consulted.
DWORD GetComponentPath(std::string& path);

}  // namespace keydepot::detail
