// Whole-file reads and crash-safe replacement of files.
#pragma once

#include "kdplatform/win32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nodyx {

// Maps an errno value to the HRESULT this component reports for it.
HRESULT HresultFromErrno(int error);

// Writes `size` bytes to a new file in `tempFolder` (created when missing),
// flushes it to disk, then renames it over `target`. Readers see either the
// old file or the new one, never a part; on any failure the old file stays
// and the temporary file is removed. tempFolder must be on the same file
// system as target.
HRESULT ReplaceFile(const std::string& tempFolder, const std::string& target, const void* data, std::size_t size);

// Reads a whole file of at most maxSize bytes. A larger file gives
// HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE) (code 223).
HRESULT ReadWholeFile(const std::string& path, std::size_t maxSize, std::string* out);

}  // namespace nodyx
