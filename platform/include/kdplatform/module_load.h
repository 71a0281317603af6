// How the project loads a module it names by its absolute path (the
// component beside the library, a PKCS#11 module):
// LoadLibraryExA(path, nullptr, kdp::kLoadFromOwnFolder). The module's own
// dependencies then come from its folder and System32 only
// (LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32), never
// from the current folder or PATH; Windows refuses a path that is not
// absolute with ERROR_INVALID_PARAMETER. Linux's loader takes the flags and
// needs nothing: modules find their dependencies through their RUNPATH
// ($ORIGIN).
#pragma once

#include "kdplatform/types.h"

namespace kdp {

inline constexpr DWORD kLoadFromOwnFolder = 0x00000100u | 0x00000800u;

}  // namespace kdp
