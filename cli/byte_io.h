// The tool's own use of the local file system: exact-byte input and output
// of items (whole files or standard streams, no newline added or removed;
// buffers that held item bytes are wiped), and what the file system says
// about a path, to list a folder and to explain a failure. Paths here are
// this machine's (kdp::ToNativePath), not storage paths.
#pragma once

#include <kdplatform/wiped_bytes.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

struct LocalEntry {
  bool exists = false;
  bool folder = false;
  std::uint64_t size = 0;  // of a file
};
LocalEntry Inspect(const std::string& path);

struct FolderFile {
  std::string name;
  std::uint64_t size = 0;
  bool leftover = false;  // a save's temporary file (kdp::IsTemporaryFileName)
};
// The regular files directly in folder, sorted by name; saves' temporary
// files only with `leftovers`. Throws Failure (kNotFound, kBadPath for a
// file, kLocalIo) when it cannot be listed.
std::vector<FolderFile> FilesIn(const std::string& folder, bool leftovers = false);

}  // namespace kdcli
