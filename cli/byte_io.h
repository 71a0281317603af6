// Exact-byte input and output of items: whole files or standard streams,
// no newline added or removed. Buffers that held item bytes are wiped.
#pragma once

#include <cstddef>
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

}  // namespace kdcli
