#include "pin_source.h"

#include "pincipher/pin_line.h"

#include "failure.h"
#include "output.h"

#include <keydepot/ad/saved_pin.h>
#include <kdplatform/environment.h>
#include <kdplatform/secure_zero.h>
#include <kdplatform/terminal.h>
#include <pincipher/pin_cipher.h>

#include <tools2/errors.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kdcli {

namespace {

constexpr const char* kUnusable = "holds no usable PIN (empty, unreadable or over 1023 bytes)";
constexpr const char* kOtherSources = "--pin-file, --pin-fd, --pin-env or --ask-pin";

// A PIN file that others may read gives the PIN away; say so, but use it:
// refusing would break scripts whose files live on shares without modes.
void WarnIfReadableByOthers(kdp::NativeFile file, const std::string& path) {
  kdp::FileInfo info;
  if (kdp::QueryFile(file, &info) != 0 || !info.othersMayRead) return;
  Warn("the PIN file " + path + " can be read by other users; chmod 600 " + path);
}

}  // namespace

SecretPin::SecretPin() { text_.reserve(kCapacity); }

SecretPin::~SecretPin() { Wipe(); }

bool SecretPin::CanPrompt() { return kdp::StandardInputIsTerminal(); }

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

void SecretPin::Load(const PinOptions& options, const std::string& device) {
  if (!options.file.empty()) {
    kdp::FileHandle file;
    if (const DWORD error = kdp::OpenFile(options.file, kdp::kOpenRead, &file)) {
      throw Failure(kLocalIo,
                    "cannot open the PIN file " + options.file + ": " + DescribeHresult(HRESULT_FROM_WIN32(error)));
    }
    WarnIfReadableByOthers(file.Get(), options.file);
    if (!ReadLine(file.Get())) throw Failure(kLocalIo, "the PIN file " + options.file + " " + kUnusable);
  } else if (options.fd >= 0) {
    const kdp::NativeFile file = kdp::InheritedFile(options.fd);
    if (file == kdp::kNoFile || !ReadLine(file)) {
      throw Failure(kLocalIo, "descriptor " + std::to_string(options.fd) + " " + kUnusable);
    }
  } else if (!options.env.empty()) {
    const char* value = std::getenv(options.env.c_str());
    if (value == nullptr) {
      throw Failure(kLocalIo, "the environment variable " + options.env + " named by --pin-env is not set");
    }
    const std::size_t length = std::strlen(value);
    if (length == 0 || length >= kCapacity) {
      throw Failure(kLocalIo, "the environment variable " + options.env + " " + kUnusable);
    }
    Wipe();
    text_.append(value, length);
    present_ = true;
  } else if (options.ask) {
    Prompt(device);
  }
}

void SecretPin::LoadSaved(DWORD session, const std::string& devicePath, EAD_DeviceType type,
                          const std::string& device) {
  const std::string what = "cannot use the saved PIN of " + device;
  bool saved = false;
  const HRESULT hr = Guarded(what, [&] { return keydepot::ad::IsPinSaved(session, devicePath.c_str(), saved); });
  // A device without a saved-PIN record gives "file not found".
  if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
    throw Failure(kLocalIo, what + ": the registry cannot be read: " + DescribeHresult(hr), HResult2ToolsErr(hr));
  }
  if (!saved) {
    throw Failure(kLocalIo, "no PIN is saved for " + device + " (nodyx-admin pin save saves one; or give it with " +
                                kOtherSources + ")");
  }
  CTOOString pin;  // wiped when it dies
  const pincipher::DeviceTypeScope scope(type);
  const HRESULT read = Guarded(
      what, [&] { return keydepot::ad::GetDevicePIN(session, devicePath.c_str(), pincipher::kCallBacks, pin); });
  if (read == HRESULT_FROM_WIN32(ERROR_REVISION_MISMATCH)) {
    throw Failure(kLocalIo,
                  what +
                      ": it was saved in an older format that does not name the device's type; save it again with "
                      "nodyx-admin pin save, or give the PIN with " +
                      kOtherSources,
                  HResult2ToolsErr(read));
  }
  if (FAILED(read)) {
    throw Failure(kLocalIo,
                  what +
                      ": it does not decipher (it was saved with another machine key, or the value was changed); "
                      "save it again with nodyx-admin pin save, or give the PIN with " +
                      kOtherSources + ": " + DescribeHresult(read),
                  HResult2ToolsErr(read));
  }
  Wipe();
  if (pin.IsEmpty() || pin.Length() >= kCapacity) throw Failure(kLocalIo, what + ": the saved PIN is empty");
  text_.append(pin.c_str(), pin.Length());
  present_ = true;
}

void SecretPin::Prompt(const std::string& device) {
  if (!CanPrompt()) {
    throw Failure(kUsage,
                  "cannot prompt for the PIN: standard input is not a terminal "
                  "(use --pin-file, --pin-fd or --pin-env)");
  }
  std::fputs(("PIN for " + TerminalText(device) + ": ").c_str(), stderr);
  std::fflush(stderr);
  bool ok;
  {
    kdp::NoEcho quiet;
    ok = ReadLine(kdp::StandardInput());
  }
  std::fputs("\n", stderr);
  if (!ok) throw Failure(kLocalIo, "no PIN was entered");
}

}  // namespace kdcli
