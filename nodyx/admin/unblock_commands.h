// The commands around the count of wrong PINs of a store device
// (store/pin_tries.h): unblock, set-admin-pin, and the PIN lines of show.
#pragma once

#include "commands.h"
#include "store/pin_tries.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace nodyx::admin {

struct UnblockOptions {
  std::string device;        // folder, or the identifier text of one store device
  std::string adminPinFile;  // empty: the store's owner needs none; others are asked
  bool newPin = false;       // also set a new PIN, read as set-pin reads it
  std::string newPinFile;
};

// The store device `device` names: its folder when one has that name, else
// the one store device whose identifier text it is. kOk, or the exit code
// of a failure already reported (kNotFound unreported without reportMissing).
int FindStoreDevice(const DeviceStore& store, const std::string& device, std::string* folder, DeviceRecord* record,
                    bool reportMissing = true);

// Clears the device's count of wrong user PINs. Allowed with the device's
// admin PIN (checked, and counted, whenever one is given), else only to the
// store's owner (store/store_owner.h), who also clears a locked admin PIN.
int UnblockDevice(const DeviceStore& store, const UnblockOptions& options);

// Sets (or replaces) the device's admin PIN, with a full count of tries.
int SetAdminPin(const DeviceStore& store, const std::string& device, const std::string& pinFile);

// "set, 7 of 10 tries left", "set, locked after 10 wrong PINs", "none".
std::string PinStateText(const DeviceStore& store, const std::string& device, const DeviceRecord& record, PinRole role);

// The hash of a new PIN, read as set-pin reads one; kOk, or the
// exit code of a refusal already reported.
int ReadAndHashNewPin(const std::string& pinFile, std::optional<PinHash>* hash);

void AddUnblockCommands(CLI::App& app, std::function<int(const DeviceStore&)>& run);

}  // namespace nodyx::admin
