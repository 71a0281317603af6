#include "pin_source.h"

#include "failure.h"
#include "output.h"

#include <keydepot/ad/saved_pin.h>
#include <kdtools/pin_source.h>
#include <pincipher/pin_cipher.h>

#include <tools2/errors.h>

namespace kdcli {

namespace {

constexpr const char* kOtherSources = "--pin-file, --pin-fd, --pin-env or --ask-pin";

}  // namespace

bool CanPromptForPin() { return kdtools::CanPrompt(); }

void LoadPin(const PinOptions& options, const std::string& device, kdp::WipedBytes* pin) {
  pin->Clear();
  kdtools::PinSource source;
  source.file = options.file;
  source.fd = options.fd;
  source.env = options.env;
  if (source.Named()) {
    kdtools::ReadPin(source, Warn, pin);
  } else if (options.ask) {
    PromptForPin(device, pin);
  }
}

void LoadSavedPin(DWORD session, const std::string& devicePath, EAD_DeviceType type, const std::string& device,
                  kdp::WipedBytes* pin) {
  pin->Clear();
  const std::string what = "cannot use the saved PIN of " + device;
  bool isSaved = false;
  const HRESULT hr = Guarded(what, [&] { return keydepot::ad::IsPinSaved(session, devicePath.c_str(), isSaved); });
  // A device without a saved-PIN record gives "file not found".
  if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
    throw Failure(kLocalIo, what + ": the registry cannot be read: " + DescribeHresult(hr), HResult2ToolsErr(hr));
  }
  if (!isSaved) {
    throw Failure(kLocalIo, "no PIN is saved for " + device + " (nodyx-admin pin save saves one; or give it with " +
                                kOtherSources + ")");
  }
  CTOOString saved;  // wiped when it dies
  const pincipher::DeviceTypeScope scope(type);
  const HRESULT read = Guarded(
      what, [&] { return keydepot::ad::GetDevicePIN(session, devicePath.c_str(), pincipher::kCallBacks, saved); });
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
  if (saved.IsEmpty() || saved.Length() > kdtools::kMaxPinBytes) {
    throw Failure(kLocalIo, what + ": the saved PIN is empty");
  }
  pin->Append(saved.c_str(), saved.Length());
}

void PromptForPin(const std::string& device, kdp::WipedBytes* pin) {
  kdtools::PromptPin("PIN for " + device + ": ", "--pin-file, --pin-fd or --pin-env", pin);
}

}  // namespace kdcli
