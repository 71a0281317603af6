// The device a storage path names, found the way the storage functions find
// it: a device path by type and identifier (FindDeviceByPath), DEV|<type>|
// as the first device of that type in enumeration order (type 101 exactly,
// other numbers rounded down to a multiple of 100).
#pragma once

#include "target.h"

#include <keydepot/keydepot.h>

#include <optional>
#include <string>
#include <vector>

namespace kdcli {

using keydepot::ComPtr;

struct FoundDevice {
  ComPtr<IAD_Device> device;
  std::string devicePath;                     // the device's own path, container field empty
  std::string name;                           // its display name ("" when it gives none)
  EAD_DeviceType type = EAD_DeviceType_None;  // as the device reports it

  // "My token (1|2\5|100\17|0A1B\8|)".
  std::string Label() const;
};

// Nothing when no attached device matches; other failures throw Failure.
// target must be resolved (Target::Resolve) and name a device.
std::optional<FoundDevice> FindDevice(DWORD session, const Target& target);

// Every device the session's manager enumerates, in its order. Throws
// Failure when they cannot be listed.
std::vector<ComPtr<IAD_Device>> AttachedDevices(DWORD session);

// The device type DEV|<number>| takes.
unsigned long WantedDeviceType(unsigned long number);

std::string DisplayName(IAD_Device* device);

}  // namespace kdcli
