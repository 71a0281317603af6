// Reads a PIN for the admin tool from a file, a pipe or the terminal
// (without echo). The PIN never appears on a command line or in output.
#pragma once

#include <cstddef>
#include <string>

namespace nodyx::admin {

// Holds a PIN in a fixed buffer that is wiped when the object dies.
class PinBuffer {
 public:
  static constexpr std::size_t kCapacity = 1024;
  PinBuffer() = default;
  PinBuffer(const PinBuffer&) = delete;
  PinBuffer& operator=(const PinBuffer&) = delete;
  ~PinBuffer();

  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool operator==(const PinBuffer& other) const;

  // Reads one line (without its end) from a descriptor. False on a read
  // error, an empty input or a line longer than kCapacity - 1 bytes.
  bool ReadLine(int fd);

 private:
  char data_[kCapacity] = {};
  std::size_t size_ = 0;
};

// From pinFile when it is not empty, else from standard input when that is
// not a terminal, else by prompting twice on the terminal. On failure
// returns false and says why in *error.
bool ReadNewPin(const std::string& pinFile, PinBuffer* pin, std::string* error);

}  // namespace nodyx::admin
