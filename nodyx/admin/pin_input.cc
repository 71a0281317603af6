#include "pin_input.h"

#include "pincipher/pin_line.h"

#include "tools2/errors.h"

#include <kdplatform/file_io.h>
#include <kdplatform/terminal.h>

#include <cstdio>
#include <cstring>

namespace nodyx::admin {

namespace {

constexpr const char* kUnusable = "holds no usable PIN (empty, unreadable or over 1023 bytes)";

bool PromptFor(const char* prompt, kdp::WipedBytes* pin) {
  std::fputs(prompt, stderr);
  std::fflush(stderr);
  bool ok;
  {
    kdp::NoEcho quiet;
    ok = pincipher::ReadPinLine(kdp::StandardInput(), kMaxPinInputBytes, pin);
  }
  std::fputs("\n", stderr);
  return ok;
}

bool ReadPinFile(const std::string& pinFile, kdp::WipedBytes* pin, std::string* error) {
  kdp::FileHandle file;
  if (const DWORD code = kdp::OpenFile(pinFile, kdp::kOpenRead, &file); code != 0) {
    *error = "cannot open the PIN file " + pinFile + ": " + ToolsErrMessage(WinErr2ToolsErr(code));
    return false;
  }
  if (!pincipher::ReadPinLine(file.Get(), kMaxPinInputBytes, pin)) {
    *error = std::string("the PIN file ") + kUnusable;
    return false;
  }
  return true;
}

}  // namespace

bool ReadNewPin(const std::string& pinFile, kdp::WipedBytes* pin, std::string* error) {
  if (!pinFile.empty()) return ReadPinFile(pinFile, pin, error);
  if (!kdp::StandardInputIsTerminal()) {
    if (!pincipher::ReadPinLine(kdp::StandardInput(), kMaxPinInputBytes, pin)) {
      *error = std::string("standard input ") + kUnusable;
      return false;
    }
    return true;
  }
  kdp::WipedBytes again;
  if (!PromptFor("New PIN: ", pin) || !PromptFor("Repeat the PIN: ", &again)) {
    *error = "no PIN was entered";
    return false;
  }
  if (pin->size() != again.size() || std::memcmp(pin->data(), again.data(), pin->size()) != 0) {
    *error = "the two PINs differ";
    return false;
  }
  return true;
}

bool ReadExistingPin(const std::string& pinFile, const char* prompt, kdp::WipedBytes* pin, std::string* error) {
  if (!pinFile.empty()) return ReadPinFile(pinFile, pin, error);
  if (!kdp::StandardInputIsTerminal()) {
    *error = "no PIN file was given and there is no terminal to ask on";
    return false;
  }
  if (!PromptFor(prompt, pin)) {
    *error = "no PIN was entered";
    return false;
  }
  return true;
}

}  // namespace nodyx::admin
