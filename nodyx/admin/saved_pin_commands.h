// "pin save|forget|status <device>": the PIN that keydepot reads for a
// device, kept enciphered (pincipher) in the machine-wide registry under
// "SOFTWARE\Maltrove\MTRVShared\AD\<identifier text>". Unlike set-pin, which
// changes the device's own PIN, these only touch the registry. A device is
// a folder of the store, else a PKCS#11 token named by its label or
// identifier text (pkcs11_commands.h).
#pragma once

#include "commands.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace nodyx::admin {

// Adds the "pin" command; the chosen action is put into *run.
void AddSavedPinCommands(CLI::App& app, std::function<int(const DeviceStore&)>& run);

// Saves the PIN read from pinFile, standard input or a prompt. A device with
// a PIN of its own must be given exactly that PIN; a token checks it by a
// login.
int SavePinForDevice(const DeviceStore& store, const std::string& device, const std::string& pinFile);
// Deletes "PIN" and sets "SavePIN" to 0; nothing to forget is no error.
int ForgetSavedPin(const DeviceStore& store, const std::string& device);
// Exit 0 when a PIN is saved and deciphers here, kNotFound when none is
// saved, kFailed when one is saved but cannot be read or deciphered.
int ShowSavedPinStatus(const DeviceStore& store, const std::string& device);

}  // namespace nodyx::admin
