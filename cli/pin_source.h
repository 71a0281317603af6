// A device PIN for one command: read from a file, a descriptor, an
// environment variable or a no-echo terminal prompt (the sources nodyx-admin
// reads too, kdtools/pin_source.h), or the PIN saved for the device; never
// from the command line. The PIN lands in a kdp::WipedBytes the caller owns;
// it is never printed.
#pragma once

#include "command_options.h"

#include <keydepot/ad/component.h>
#include <kdplatform/wiped_bytes.h>
#include <kdplatform/win32.h>

#include <string>

namespace kdcli {

// Reads from the file, descriptor, variable or prompt the options name (not
// the saved PIN: LoadSavedPin); leaves *pin empty when they name none. Throws
// Failure (kLocalIo) when the source gives no usable PIN. Warns when the PIN
// file can be read by other users. device names the device in the prompt.
void LoadPin(const PinOptions& options, const std::string& device, kdp::WipedBytes* pin);
// The PIN saved for the device at devicePath (of `type`, which the saved
// value must name), deciphered with the shared PIN cipher. Throws Failure
// (kLocalIo) when none is saved or it does not decipher.
void LoadSavedPin(DWORD session, const std::string& devicePath, EAD_DeviceType type, const std::string& device,
                  kdp::WipedBytes* pin);
// Prompts on the terminal of standard input with echo off.
void PromptForPin(const std::string& device, kdp::WipedBytes* pin);

// Whether a prompt is possible: standard input is a terminal.
bool CanPromptForPin();

}  // namespace kdcli
