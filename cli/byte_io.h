// Exact-byte input and output of items: whole files or standard streams,
// no newline added or removed. Buffers that held item bytes are wiped.
#pragma once

#include <kdplatform/wiped_bytes.h>

#include <cstddef>
#include <string>

namespace kdcli {

// All bytes of path, or of standard input when path is empty or "-".
// Throws Failure (kLocalIo) when reading fails or passes 4 GiB.
kdp::WipedBytes ReadAllBytes(const std::string& path);

// Writes size bytes to path, or to standard output when path is empty or
// "-". A file is saved as the library saves items (kdp::SaveFile): a new
// one is the owner's only (0600) since items may be keys, an existing one
// keeps its permissions and is replaced whole. Throws Failure (kLocalIo)
// when writing fails.
void WriteAll(const std::string& path, const unsigned char* data, std::size_t size);

}  // namespace kdcli
