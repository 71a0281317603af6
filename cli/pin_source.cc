#include "pin_source.h"

#include "pincipher/no_echo.h"

#include "failure.h"

#include <kdplatform/secure_zero.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kdcli {

namespace {

using pincipher::NoEcho;

constexpr const char* kUnusable = "holds no usable PIN (empty, unreadable or over 1023 bytes)";

}  // namespace

SecretPin::SecretPin() { text_.reserve(kCapacity); }

SecretPin::~SecretPin() { Wipe(); }

bool SecretPin::CanPrompt() { return isatty(STDIN_FILENO) == 1; }

void SecretPin::Wipe() {
  // resize() stays within the reserved capacity, so the whole buffer that
  // ever held PIN bytes is zeroed in place.
  text_.resize(text_.capacity());
  SecureZeroMemory(text_.data(), text_.size());
  text_.clear();
  present_ = false;
}

bool SecretPin::ReadLine(int fd) {
  Wipe();
  for (;;) {
    char c;
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    if (n == 0 || c == '\n') {
      if (!text_.empty() && text_.back() == '\r') text_.pop_back();
      present_ = !text_.empty() && text_.find('\0') == std::string::npos;
      break;
    }
    if (text_.size() + 1 >= kCapacity) break;
    text_.push_back(c);
  }
  if (!present_) Wipe();
  return present_;
}

void SecretPin::Load(const PinOptions& options, const std::string& target) {
  if (options.Count() > 1) throw Failure(kUsage, "give one PIN source at most");
  if (!options.file.empty()) {
    const int fd = ::open(options.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Failure(kLocalIo, "cannot open the PIN file " + options.file + ": " + std::strerror(errno));
    const bool ok = ReadLine(fd);
    ::close(fd);
    if (!ok) throw Failure(kLocalIo, "the PIN file " + options.file + " " + kUnusable);
  } else if (options.fd >= 0) {
    if (!ReadLine(options.fd)) throw Failure(kLocalIo, "descriptor " + std::to_string(options.fd) + " " + kUnusable);
  } else if (!options.env.empty()) {
    const char* value = std::getenv(options.env.c_str());
    const std::size_t length = value != nullptr ? std::strlen(value) : 0;
    if (length == 0 || length >= kCapacity) {
      throw Failure(kLocalIo, "the environment variable " + options.env + " " + kUnusable);
    }
    Wipe();
    text_.append(value, length);
    present_ = true;
  } else if (options.ask) {
    Prompt(target);
  }
}

void SecretPin::Prompt(const std::string& target) {
  if (!CanPrompt()) {
    throw Failure(kUsage, "cannot prompt for the PIN: standard input is not a terminal "
                          "(use --pin-file, --pin-fd or --pin-env)");
  }
  const std::string prompt = "PIN for " + target + ": ";
  ssize_t ignored = ::write(STDERR_FILENO, prompt.data(), prompt.size());
  bool ok;
  {
    NoEcho quiet(STDIN_FILENO);
    ok = ReadLine(STDIN_FILENO);
  }
  ignored = ::write(STDERR_FILENO, "\n", 1);
  (void)ignored;
  if (!ok) throw Failure(kLocalIo, "no PIN was entered");
}

}  // namespace kdcli
