// The modules the dynamic loader has mapped into the process, read from its
// chain of link maps. With glibc a dlopen handle is the module's link map, so
// a handle can be checked against the chain without dereferencing it.
//
// Thread rule: the chain is walked without the loader's lock; a module that
// another thread unloads during a walk is a caller error, as with Win32
// handles that another thread frees.
#pragma once

#include <link.h>

#include <string>

namespace kdp::detail {

// The main program's handle (never unloaded).
void* MainProgramHandle() noexcept;

// The loaded module whose handle is `handle`, or null for anything else
// (a freed module, a stray pointer). Never dereferences `handle`.
const link_map* FindLoadedModule(const void* handle) noexcept;

// The first loaded module whose file name (the part after the last '/')
// equals `name` ignoring case, or null.
const link_map* FindLoadedModuleByFileName(const std::string& name) noexcept;

// The loaded module whose recorded name is exactly `path` (the name it was
// loaded by), or null. Asks nothing of the file system.
const link_map* FindLoadedModuleByPath(const char* path) noexcept;

// How many modules the loader has unmapped since the process started. While
// it stays the same, every module that was loaded is still loaded.
unsigned long long UnloadCount() noexcept;

// The absolute path of the main program's file; empty on failure.
std::string MainProgramPath();

}  // namespace kdp::detail
