#include "pin_input.h"

#include "pincipher/no_echo.h"

#include "store/pin_hash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace nodyx::admin {

namespace {

using pincipher::NoEcho;

bool PromptFor(const char* prompt, PinBuffer* pin) {
  std::fputs(prompt, stderr);
  std::fflush(stderr);
  bool ok;
  {
    NoEcho quiet(STDIN_FILENO);
    ok = pin->ReadLine(STDIN_FILENO);
  }
  std::fputs("\n", stderr);
  return ok;
}

}  // namespace

PinBuffer::~PinBuffer() { WipeMemory(data_, sizeof data_); }

bool PinBuffer::operator==(const PinBuffer& other) const {
  return size_ == other.size_ && std::memcmp(data_, other.data_, size_) == 0;
}

bool PinBuffer::ReadLine(int fd) {
  size_ = 0;
  for (;;) {
    char c;
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0 || c == '\n') break;
    if (size_ + 1 >= kCapacity) {
      WipeMemory(data_, sizeof data_);
      size_ = 0;
      return false;
    }
    data_[size_++] = c;
  }
  if (size_ > 0 && data_[size_ - 1] == '\r') --size_;
  data_[size_] = '\0';
  return size_ > 0;
}

bool ReadNewPin(const std::string& pinFile, PinBuffer* pin, std::string* error) {
  if (!pinFile.empty()) {
    const int fd = ::open(pinFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      *error = "cannot open the PIN file " + pinFile + ": " + std::strerror(errno);
      return false;
    }
    const bool ok = pin->ReadLine(fd);
    ::close(fd);
    if (!ok) *error = "the PIN file holds no usable PIN (empty, unreadable or over 1023 bytes)";
    return ok;
  }
  if (!isatty(STDIN_FILENO)) {
    if (!pin->ReadLine(STDIN_FILENO)) {
      *error = "standard input holds no usable PIN (empty, unreadable or over 1023 bytes)";
      return false;
    }
    return true;
  }
  PinBuffer again;
  if (!PromptFor("New PIN: ", pin) || !PromptFor("Repeat the PIN: ", &again)) {
    *error = "no PIN was entered";
    return false;
  }
  if (!(*pin == again)) {
    *error = "the two PINs differ";
    return false;
  }
  return true;
}

}  // namespace nodyx::admin
