#include "pin_source.h"

#include "pincipher/no_echo.h"
#include "pincipher/pin_line.h"

#include "failure.h"

#include <kdplatform/secure_zero.h>

#include <cstdlib>
#include <cstring>
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

bool SecretPin::ReadLine(kdp::NativeFile fd) {
  Wipe();
  kdp::WipedBytes line;
  present_ = pincipher::ReadPinLine(fd, kCapacity - 1, &line);
  if (present_) text_.append(line.chars(), line.size());
  return present_;
}

void SecretPin::Load(const PinOptions& options, const std::string& target) {
  if (options.Count() > 1) throw Failure(kUsage, "give one PIN source at most");
  if (!options.file.empty()) {
    kdp::FileHandle file;
    if (const DWORD error = kdp::OpenFile(options.file, kdp::kOpenRead, &file)) {
      throw Failure(kLocalIo, "cannot open the PIN file " + options.file + ": " + DescribeHresult(HRESULT_FROM_WIN32(error)));
    }
    if (!ReadLine(file.Get())) throw Failure(kLocalIo, "the PIN file " + options.file + " " + kUnusable);
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
