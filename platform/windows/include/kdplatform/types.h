// Win32 scalar types, calling conventions and result macros: the system's
// own. NOMINMAX and WIN32_LEAN_AND_MEAN are set for every file of the project
// (platform/CMakeLists.txt), so <windows.h> defines no min/max macros.
#pragma once

#include <windows.h>
