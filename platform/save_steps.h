// Whole-file steps every system's save shares, on the layer's own primitives.
#pragma once

#include "kdplatform/file_io.h"

namespace kdp::detail {

// Writes `size` bytes to `file`, syncs and closes it: what a save does with
// the file it fills.
DWORD WriteSyncClose(FileHandle* file, const void* data, std::size_t size);

// Truncates `path` and writes `size` bytes into the same file, then syncs
// it. Not crash-safe: the file is empty or partly written for a while. For
// files a save must not replace (devices, files with other links, files in a
// folder the caller may not change).
DWORD WriteInPlace(const std::string& path, const void* data, std::size_t size);

}  // namespace kdp::detail
