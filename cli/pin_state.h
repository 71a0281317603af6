// What a device tells of its PIN (IAD_PinStatus), in the words every command
// uses for it: after a refused PIN, in `devices`, and for a locked device.
// PKCS#11 tokens tell flags only ("few tries left", "1 try left", "locked");
// the software token also counts. Reading the state costs no try.
#pragma once

#include "output.h"

#include <keydepot/ad/component.h>
#include <keydepot/ad/pin_status.h>

#include <string>

namespace kdcli {

struct PinState {
  bool told = false;  // the device answers IAD_PinStatus
  DWORD triesLeft = AD_PIN_TRIES_UNKNOWN;
  DWORD tryLimit = AD_PIN_TRIES_UNKNOWN;
  DWORD flags = 0;

  bool Locked() const { return (flags & AD_PIN_LOCKED) != 0 || triesLeft == 0; }
};

// Nothing told when device is null or keeps no such state.
PinState PinStateOf(IAD_Device* device);

// "2 tries left", "1 try left", "few tries left" or "no tries left: the
// device is locked now"; "" when the device tells nothing that matters.
std::string TriesLeftText(const PinState& state);

// For `devices`: "set, 9 of 10 tries left", "locked", "no PIN", "not told".
std::string PinStateLine(const PinState& state);
// {"set", "locked", "tries_left", "try_limit", "count_low", "final_try"}
// (counts null when unknown), or null when the device tells nothing.
Json PinStateJson(const PinState& state);

}  // namespace kdcli
