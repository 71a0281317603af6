#include "kdtools/pin_source.h"

#include "kdtools/failure.h"

#include <kdplatform/environment.h>
#include <kdplatform/file_io.h>
#include <kdplatform/printable_text.h>
#include <kdplatform/secure_zero.h>
#include <kdplatform/terminal.h>
#include <pincipher/pin_line.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kdtools {

namespace {

constexpr const char* kUnusable = "holds no usable PIN (empty, unreadable or over 1023 bytes)";

void ReadLineOf(kdp::NativeFile file, const std::string& what, kdp::WipedBytes* pin) {
  if (file == kdp::kNoFile || !pincipher::ReadPinLine(file, kMaxPinBytes, pin)) {
    throw Failure(kLocalIo, what + " " + kUnusable);
  }
}

}  // namespace

void ReadPin(const PinSource& source, const PinWarning& warn, kdp::WipedBytes* pin) {
  pin->Clear();
  if (!source.file.empty()) {
    kdp::FileHandle file;
    if (const DWORD error = kdp::OpenFile(source.file, kdp::kOpenRead, &file)) {
      throw Failure(kLocalIo,
                    "cannot open the PIN file " + source.file + ": " + DescribeHresult(HRESULT_FROM_WIN32(error)));
    }
    kdp::FileInfo info;
    if (warn && kdp::QueryFile(file.Get(), &info) == 0 && info.othersMayRead) {
      warn("the PIN file " + source.file + " can be read by other users; chmod 600 " + source.file);
    }
    ReadLineOf(file.Get(), "the PIN file " + source.file, pin);
  } else if (source.fd == 0) {
    ReadLineOf(kdp::StandardInput(), "standard input", pin);
  } else if (source.fd > 0) {
    ReadLineOf(kdp::InheritedFile(source.fd), "descriptor " + std::to_string(source.fd), pin);
  } else if (!source.env.empty()) {
    const char* value = std::getenv(source.env.c_str());
    if (value == nullptr) throw Failure(kLocalIo, "the environment variable " + source.env + " is not set");
    const std::size_t length = std::strlen(value);
    if (length == 0 || length > kMaxPinBytes) {
      throw Failure(kLocalIo, "the environment variable " + source.env + " " + kUnusable);
    }
    pin->Append(value, length);
  }
}

bool CanPrompt() { return kdp::StandardInputIsTerminal(); }

void PromptPin(const std::string& prompt, const std::string& instead, kdp::WipedBytes* pin) {
  pin->Clear();
  if (!CanPrompt()) {
    throw Failure(kUsage, "cannot prompt for the PIN: standard input is not a terminal (use " + instead + ")");
  }
  std::fputs(kdp::PrintableText(prompt).c_str(), stderr);
  std::fflush(stderr);
  bool ok;
  {
    kdp::NoEcho quiet;
    ok = pincipher::ReadPinLine(kdp::StandardInput(), kMaxPinBytes, pin);
  }
  std::fputs("\n", stderr);
  if (!ok) throw Failure(kLocalIo, "no PIN was entered");
}

void WipeText(std::string* text) noexcept {
  // resize() stays within the capacity, so the whole block that ever held
  // the bytes is zeroed in place.
  text->resize(text->capacity());
  SecureZeroMemory(text->data(), text->size());
  text->clear();
}

}  // namespace kdtools
