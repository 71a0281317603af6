// The tool's own use of the local file system: exact-byte input and output
// of items (whole files or standard streams, no newline added or removed;
// buffers that held item bytes are wiped), and what the file system says
// about a path, to list a folder and to explain a failure. Paths here are
// this machine's (kdp::ToNativePath), not storage paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kdcli {

// Item bytes read from a file or standard input; wiped when destroyed.
class SecretBytes {
 public:
  SecretBytes() = default;
  ~SecretBytes();
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;

  const unsigned char* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }

  // All bytes of path, or of standard input when path is empty or "-".
  // Throws Failure (kLocalIo) when reading fails.
  void ReadAll(const std::string& path);

 private:
  std::vector<unsigned char> bytes_;
};

// Writes size bytes to path (created or replaced, mode 0600 since items may
// be keys), or to standard output when path is empty or "-". Throws Failure
// (kLocalIo) when writing fails.
void WriteAll(const std::string& path, const unsigned char* data, std::size_t size);

struct LocalEntry {
  bool exists = false;
  bool folder = false;
  std::uint64_t size = 0;  // of a file
};
LocalEntry Inspect(const std::string& path);

// 0 when this process may read path, write the file path, or create and
// remove entries in the folder path; else the errno that says why not.
enum class Access { kRead, kWriteFile, kWriteFolder };
int AccessError(const std::string& path, Access access);

struct FolderFile {
  std::string name;
  std::uint64_t size = 0;
};
// The regular files directly in folder, sorted by name. Throws Failure
// (kNotFound, kBadPath for a file, kLocalIo) when it cannot be listed.
std::vector<FolderFile> FilesIn(const std::string& folder);

}  // namespace kdcli
