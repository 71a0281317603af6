// pin show / pin remove: the saved (enciphered) PIN of a device, kept in the
// machine-wide registry. show deciphers it only to tell whether that works;
// the PIN stays in a wiped CTOOString and is never shown.
#include "commands.h"
#include "device_session.h"
#include "failure.h"
#include "output.h"

#include <keydepot/ad/saved_pin.h>
#include <pincipher/pin_cipher.h>

#include <iostream>
#include <memory>

namespace kdcli {

namespace {

struct PinCommandOptions {
  std::string devicePath, filter;
  bool json = false;
};

// Both functions fail with "file not found" for a missing device and for a
// device without a saved-PIN record; only a lookup tells the two apart.
bool DeviceAttached(DWORD session, const std::string& devicePath) {
  ComPtr<IAD_Device> device;
  const HRESULT hr =
      Guarded("cannot look the device up", [&] { return keydepot::ad::FindDeviceByPath(session, devicePath.c_str(), device.put()); });
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == STG_E_FILENOTFOUND) return false;
  if (FAILED(hr)) FailWithHresult("cannot look the device up", hr);
  return true;
}

// Returns when hr only says that the attached device has no saved-PIN
// record; throws the Failure for anything else.
void CheckNothingSaved(DWORD session, const std::string& devicePath, const std::string& what, HRESULT hr) {
  if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) FailWithHresult(what, hr);
  if (!DeviceAttached(session, devicePath)) {
    throw Failure(kNotFound, what + ": no attached device matches the path: " + DescribeHresult(hr));
  }
}

int RunShow(const PinCommandOptions& o) {
  DeviceSession session(o.filter);
  bool saved = false;
  const std::string what = "cannot tell whether a PIN is saved for " + o.devicePath;
  const HRESULT hr =
      Guarded(what, [&] { return keydepot::ad::IsPinSaved(session.handle(), o.devicePath.c_str(), saved); });
  if (FAILED(hr)) CheckNothingSaved(session.handle(), o.devicePath, what, hr);
  HRESULT readResult = S_OK;
  if (saved) {
    CTOOString pin;
    readResult = Guarded(what, [&] {
      return keydepot::ad::GetDevicePIN(session.handle(), o.devicePath.c_str(), pincipher::kCallBacks, pin);
    });
  }
  if (o.json) {
    Json j = {{"device_path", o.devicePath}, {"saved", saved}};
    if (saved) j["readable"] = SUCCEEDED(readResult);
    if (FAILED(readResult)) j["read_error"] = DescribeHresult(readResult);
    PrintJson(j);
  } else if (!saved) {
    std::cout << "No PIN is saved for this device.\n";
  } else if (SUCCEEDED(readResult)) {
    std::cout << "A PIN is saved for this device and deciphers.\n";
  } else {
    std::cout << "A PIN is saved for this device but does not decipher: " << DescribeHresult(readResult) << '\n';
  }
  return kOk;
}

int RunRemove(const PinCommandOptions& o) {
  DeviceSession session(o.filter);
  const std::string what = "cannot remove the saved PIN of " + o.devicePath;
  const HRESULT hr = Guarded(what, [&] { return keydepot::ad::RemoveSavedPin(session.handle(), o.devicePath.c_str()); });
  if (FAILED(hr)) {
    CheckNothingSaved(session.handle(), o.devicePath, what, hr);
    throw Failure(kNotFound, what + ": no PIN is saved for this device: " + DescribeHresult(hr));
  }
  if (o.json) {
    PrintJson({{"device_path", o.devicePath}, {"removed", true}});
  } else {
    std::cout << "Removed the saved PIN.\n";
  }
  return kOk;
}

void PinCommand(CLI::App& group, Runner& run, const char* name, const char* description, const char* example,
                int (*function)(const PinCommandOptions&)) {
  auto options = std::make_shared<PinCommandOptions>();
  CLI::App* command = AddCommand(group, name, description, {example});
  command->add_option("device-path", options->devicePath, "Device path of the device")->required();
  AddFilterOption(command, &options->filter);
  AddJsonFlag(command, &options->json);
  command->callback([&run, options, function] { run = [options, function] { return function(*options); }; });
}

}  // namespace

void AddPinCommands(CLI::App& app, Runner& run) {
  CLI::App* pin = app.add_subcommand("pin", "Saved device PINs (never shown)");
  pin->require_subcommand(1);
  pin->footer("Example:\n  keydepot pin show '1|2\\5|100\\17|0A1B2C3D\\8|'");
  PinCommand(*pin, run, "show", "Tell whether a PIN is saved for a device, and whether it deciphers",
             "keydepot pin show '1|2\\5|100\\17|0A1B2C3D\\8|'", RunShow);
  PinCommand(*pin, run, "remove", "Remove the saved PIN of a device",
             "keydepot pin remove '1|2\\5|100\\17|0A1B2C3D\\8|'", RunRemove);
}

}  // namespace kdcli
