#include "unblock_commands.h"

#include "pin_input.h"
#include "base/result_codes.h"
#include "store/hex.h"
#include "store/names.h"
#include "store/store_owner.h"

#include "kdplatform/printable_text.h"
#include "kdplatform/terminal.h"

#include <iostream>
#include <memory>

namespace nodyx::admin {

namespace {

std::string Tries(std::uint32_t count) { return std::to_string(count) + (count == 1 ? " try" : " tries"); }

int CheckAdminPin(const DeviceStore& store, const std::string& folder, const DeviceRecord& record,
                  const kdp::WipedBytes& pin) {
  const HRESULT hr = CheckPinCounted(store, folder, PinRole::kAdmin, *record.adminPin, record.pinTryLimit,
                                     std::string_view(pin.chars(), pin.size()));
  if (hr == kWrongPin) {
    PinTries tries;
    const std::string left = SUCCEEDED(ReadPinTries(store, folder, &tries))
                                 ? " (" + Tries(TriesLeft(tries.admin, record.pinTryLimit)) + " left)"
                                 : std::string();
    return Report(kPinRefused, "that is not the admin PIN of device '" + folder + "'" + left + "; nothing was changed");
  }
  if (hr == kPinLocked) {
    return Report(kPinRefused, "the admin PIN of device '" + folder + "' is locked after " +
                                   std::to_string(record.pinTryLimit) +
                                   " wrong tries; only the store's owner can unblock the device now");
  }
  return FAILED(hr) ? Fail("the count of wrong PINs of device '" + folder + "'", hr) : kOk;
}

}  // namespace

// The device `device` names: its folder when one has that name, else the one
// store device whose identifier text it is.
int FindStoreDevice(const DeviceStore& store, const std::string& device, std::string* folder, DeviceRecord* record,
                    bool reportMissing) {
  const HRESULT hr = IsValidStoreName(device) ? store.Load(device, record) : E_INVALIDARG;
  if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) && hr != E_INVALIDARG) {
    *folder = device;
    return LoadDevice(store, device, record);
  }
  const auto id = FromHex(device);
  std::vector<DeviceStore::Entry> matches;
  for (auto& entry : store.Scan()) {
    if (id && entry.record.id == *id) matches.push_back(std::move(entry));
  }
  if (matches.size() > 1) {
    return Report(kBadPath, "devices '" + matches[0].folder + "' and '" + matches[1].folder +
                                "' both have the identifier " + device + ": name the device by its folder");
  }
  if (matches.empty()) {
    return reportMissing ? Fail("device '" + device + "'", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) : kNotFound;
  }
  *folder = matches[0].folder;
  *record = std::move(matches[0].record);
  return kOk;
}

int ReadAndHashNewPin(const std::string& pinFile, std::optional<PinHash>* hash) {
  kdp::WipedBytes pin;
  ReadNewPin(pinFile, &pin);
  *hash = HashNewPin(std::string_view(pin.chars(), pin.size()));
  return *hash ? kOk : Fail("PIN hash", E_FAIL);
}

int UnblockDevice(const DeviceStore& store, const UnblockOptions& o) {
  bool owner = false;
  if (const HRESULT hr = CallerOwnsFolder(store.root(), &owner); FAILED(hr)) return Fail("the store folder", hr);
  // A given admin PIN is checked whoever gives it: a wrong one is refused
  // and counted, also for the store's owner.
  const bool byAdminPin = !o.adminPinFile.empty() || !owner;
  if (byAdminPin && o.adminPinFile.empty() && !kdp::StandardInputIsTerminal()) {
    return Report(kPinRefused,
                  "only the store's owner (or root, or an administrator) may unblock a device without its admin "
                  "PIN; give the admin PIN with --admin-pin-file");
  }
  std::string folder;
  DeviceRecord r;
  if (const int rc = FindStoreDevice(store, o.device, &folder, &r); rc != kOk) return rc;
  kdp::WipedBytes adminPin;
  if (byAdminPin) {
    if (!r.adminPin) {
      return Report(kPinRefused, "device '" + folder + "' has no admin PIN: only the store's owner (or root, or an " +
                                     "administrator) can unblock it");
    }
    ReadExistingPin(o.adminPinFile, "Admin PIN: ", &adminPin);
  }
  std::optional<PinHash> newPin;
  if (o.newPin || !o.newPinFile.empty()) {
    if (const int rc = ReadAndHashNewPin(o.newPinFile, &newPin); rc != kOk) return rc;
  }
  if (byAdminPin) {
    if (const int rc = CheckAdminPin(store, folder, r, adminPin); rc != kOk) return rc;
  }
  if (newPin) {
    r.pin = std::move(newPin);
    if (const HRESULT hr = store.Save(folder, r); FAILED(hr)) return Fail("device '" + folder + "'", hr);
  }
  // The owner also lifts a locked admin PIN; a right admin PIN cleared its
  // own count when it was checked.
  if (const HRESULT hr = ResetPinTries(store, folder, true, !byAdminPin); FAILED(hr)) {
    return Fail("the count of wrong PINs of device '" + folder + "'", hr);
  }
  Out() << "unblocked " << kdp::PrintableText(folder) << ": its PIN takes " << Tries(r.pinTryLimit) << " again"
        << (newPin ? ", and a new PIN is set" : "") << "\n";
  Result() = {{"device", folder}, {"unblocked", true}, {"try_limit", r.pinTryLimit}, {"new_pin", newPin.has_value()}};
  return kOk;
}

int SetAdminPin(const DeviceStore& store, const std::string& device, const std::string& pinFile) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  if (const int rc = ReadAndHashNewPin(pinFile, &r.adminPin); rc != kOk) return rc;
  if (const HRESULT hr = store.Save(device, r); FAILED(hr)) return Fail("device '" + device + "'", hr);
  const HRESULT hr = ResetPinTries(store, device, false, true);
  if (FAILED(hr)) return Fail("the count of wrong PINs of device '" + device + "'", hr);
  Result() = {{"device", device}, {"admin_pin", true}};
  return kOk;
}

std::string PinStateText(const DeviceStore& store, const std::string& device, const DeviceRecord& record,
                         PinRole role) {
  if (!(role == PinRole::kUser ? record.pin : record.adminPin)) return "none";
  PinTries tries;
  if (FAILED(ReadPinTries(store, device, &tries))) return "set, its count of wrong PINs cannot be read";
  if (tries.damaged) return "set, locked: its count of wrong PINs is damaged (nodyx-admin unblock)";
  const std::uint32_t wrong = tries.Of(role);
  if (wrong >= record.pinTryLimit) {
    return "set, locked after " + std::to_string(record.pinTryLimit) + " wrong PINs (nodyx-admin unblock)";
  }
  return "set, " + std::to_string(TriesLeft(wrong, record.pinTryLimit)) + " of " + Tries(record.pinTryLimit) + " left";
}

void AddUnblockCommands(CLI::App& app, std::function<int(const DeviceStore&)>& run) {
  // The options live as long as the callbacks that the app keeps.
  auto unblock = std::make_shared<UnblockOptions>();
  CLI::App* u = app.add_subcommand("unblock", "Clear the count of wrong PINs; a locked device takes its PIN again");
  u->footer(
      "Without --admin-pin-file only the store folder's owner (or root, or an administrator) may unblock;\n"
      "others are asked for the device's admin PIN on the terminal.\n"
      "Example:\n  nodyx-admin unblock token1 --admin-pin-file ./admin-pin.txt --new-pin-file ./pin.txt");
  u->add_option("device", unblock->device, "Device folder name, or the identifier of a store device")->required();
  u->add_option("--admin-pin-file", unblock->adminPinFile, "File whose first line is the device's admin PIN");
  u->add_flag("--new-pin", unblock->newPin, "Also set a new PIN, read from standard input or a prompt");
  u->add_option("--new-pin-file", unblock->newPinFile, "Also set a new PIN: the first line of this file");
  u->callback([&run, unblock] { run = [unblock](const DeviceStore& s) { return UnblockDevice(s, *unblock); }; });

  auto admin = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App* a = app.add_subcommand(
      "set-admin-pin", "Set the admin PIN that unblocks the device, read from --pin-file, standard input or a prompt");
  a->footer("Example:\n  nodyx-admin set-admin-pin token1 --pin-file ./admin-pin.txt");
  a->add_option("device", admin->first, "Device folder name")->required();
  a->add_option("--pin-file", admin->second, "File whose first line is the admin PIN");
  a->callback(
      [&run, admin] { run = [admin](const DeviceStore& s) { return SetAdminPin(s, admin->first, admin->second); }; });
}

}  // namespace nodyx::admin
