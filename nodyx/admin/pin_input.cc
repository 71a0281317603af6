#include "pin_input.h"

#include <kdplatform/printable_text.h>
#include <kdtools/failure.h>
#include <kdtools/pin_source.h>

#include <cstring>
#include <iostream>

namespace nodyx::admin {

namespace {

constexpr const char* kInstead = "--pin-file";

void Warn(const std::string& text) { std::cerr << "nodyx-admin: warning: " << kdp::PrintableText(text) << "\n"; }

}  // namespace

void ReadNewPin(const std::string& pinFile, kdp::WipedBytes* pin) {
  if (!pinFile.empty() || !kdtools::CanPrompt()) {
    kdtools::PinSource source;
    source.file = pinFile;
    if (pinFile.empty()) source.fd = 0;
    kdtools::ReadPin(source, Warn, pin);
    return;
  }
  kdp::WipedBytes again;
  kdtools::PromptPin("New PIN: ", kInstead, pin);
  kdtools::PromptPin("Repeat the PIN: ", kInstead, &again);
  if (pin->size() != again.size() || std::memcmp(pin->data(), again.data(), pin->size()) != 0) {
    pin->Clear();
    throw kdtools::Failure(kdtools::kLocalIo, "the two PINs differ");
  }
}

void ReadExistingPin(const std::string& pinFile, const char* prompt, kdp::WipedBytes* pin) {
  if (!pinFile.empty()) {
    kdtools::PinSource source;
    source.file = pinFile;
    kdtools::ReadPin(source, Warn, pin);
    return;
  }
  kdtools::PromptPin(prompt, "--admin-pin-file", pin);
}

}  // namespace nodyx::admin
