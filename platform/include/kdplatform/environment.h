// What a process is started with: environment variables, and descriptors
// handed over by whoever started it. One file per system, chosen by CMake
// (platform/posix/environment.cc, platform/windows/environment.cc).
// std::getenv reads what these set on every system.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/file_io.h"

namespace kdp {

// Sets or replaces a variable; false when the name or value is refused. On
// Windows an empty value removes the variable, as the system has no empty
// variables.
KDPLATFORM_API bool SetEnvironmentValue(const char* name, const char* value);
// Removes a variable; true when it is gone (also when it was never set).
KDPLATFORM_API bool RemoveEnvironmentValue(const char* name);

// The open file behind a descriptor number the process was given (a shell's
// "3<file"): the descriptor itself on POSIX systems, the C run-time's handle
// for it on Windows. kNoFile when that descriptor is not open. The caller
// does not own it: never close it through a FileHandle.
KDPLATFORM_API NativeFile InheritedFile(int descriptor) noexcept;

}  // namespace kdp
