// Paths that arrive as wide strings (IPersistFile).
#pragma once

#include "kdplatform/win32.h"

#include <string>

namespace nodyx {

// Converts to the ANSI code page, then to a native path. False when the
// text does not convert or names a drive letter that is not mapped.
bool WidePathToNative(LPCOLESTR wide, std::string* native);

}  // namespace nodyx
