// pin show / pin remove: the saved (enciphered) PIN of a device, kept in the
// machine-wide registry. show deciphers it only to tell whether that works;
// the PIN stays in a wiped CTOOString and is never shown.
#include "commands.h"
#include "device_lookup.h"
#include "device_session.h"
#include "failure.h"
#include "output.h"

#include <keydepot/ad/saved_pin.h>
#include <pincipher/pin_cipher.h>

#include <memory>

namespace kdcli {

namespace {

struct PinCommandOptions {
  std::string devicePath, filter;
  bool json = false;
};

// The device the path names, found before the saved-PIN functions run: they
// fail with "file not found" both for a missing device and for a device
// without a saved-PIN record.
struct PinDevice {
  explicit PinDevice(const PinCommandOptions& o) : session(o.filter), target(o.devicePath) {
    if (!target.IsDevice()) throw Failure(kBadPath, o.devicePath + " names a file, not a device");
    target.Resolve();
    auto found = FindDevice(session.handle(), target);
    if (!found)
      throw Failure(kNotFound, "no attached device matches " + o.devicePath + " (keydepot devices lists them)");
    device = std::move(*found);
  }
  // Whether a PIN is saved; a device without a record has none.
  bool Saved(const std::string& what) {
    bool saved = false;
    const HRESULT hr =
        Guarded(what, [&] { return keydepot::ad::IsPinSaved(session.handle(), device.devicePath.c_str(), saved); });
    if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) FailWithHresult(what, hr);
    return saved;
  }

  DeviceSession session;
  Target target;
  FoundDevice device;
};

int RunShow(const PinCommandOptions& o) {
  PinDevice d(o);
  const std::string what = "cannot tell whether a PIN is saved for " + d.device.Label();
  const bool saved = d.Saved(what);
  HRESULT readResult = S_OK;
  if (saved) {
    CTOOString pin;
    const pincipher::DeviceTypeScope scope(d.device.type);
    readResult = Guarded(what, [&] {
      return keydepot::ad::GetDevicePIN(d.session.handle(), d.device.devicePath.c_str(), pincipher::kCallBacks, pin);
    });
  }
  if (o.json) {
    Json j = {{"device_path", o.devicePath}, {"saved", saved}};
    if (saved) j["readable"] = SUCCEEDED(readResult);
    if (FAILED(readResult)) j["read_error"] = DescribeHresult(readResult);
    PrintJson(j);
  } else if (!saved) {
    PrintLine("No PIN is saved for " + d.device.Label() + ".");
  } else if (SUCCEEDED(readResult)) {
    PrintLine("A PIN is saved for " + d.device.Label() + " and deciphers.");
  } else {
    PrintLine("A PIN is saved for " + d.device.Label() + " but does not decipher: " + DescribeHresult(readResult));
  }
  return kOk;
}

int RunRemove(const PinCommandOptions& o) {
  PinDevice d(o);
  const std::string what = "cannot remove the saved PIN of " + d.device.Label();
  if (!d.Saved(what)) throw Failure(kNotFound, "no PIN is saved for " + d.device.Label() + "; nothing was removed");
  const HRESULT hr =
      Guarded(what, [&] { return keydepot::ad::RemoveSavedPin(d.session.handle(), d.device.devicePath.c_str()); });
  if (FAILED(hr)) FailWithHresult(what, hr);
  if (o.json) {
    PrintJson({{"device_path", o.devicePath}, {"removed", true}});
  } else {
    Say("Removed the saved PIN of " + d.device.Label() + ".");
  }
  return kOk;
}

void PinCommand(CLI::App& group, Runner& run, const char* name, const char* description, const char* example,
                int (*function)(const PinCommandOptions&)) {
  auto options = std::make_shared<PinCommandOptions>();
  CLI::App* command = AddCommand(group, name, description, {example});
  command->add_option("device-path", options->devicePath, "Storage path naming the device (its container is ignored)")
      ->required();
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
  PinCommand(*pin, run, "remove", "Remove the saved PIN of a device (exit 4: none is saved)",
             "keydepot pin remove '\\\\!\\SoftToken\\0A1B2C3D'", RunRemove);
}

}  // namespace kdcli
