// The device location: what container listing and path completion accept to
// name devices and a container — a device path, a named-device text
// "\\!\<type name>\<identifier text>\<container>", a system-name text
// "\\.\<device name>\<container>", or a bare container name.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/storage_path.h"

#include <string>

namespace keydepot::detail {

struct DeviceLocation {
  std::string deviceName;
  std::string typeName;
  std::string idText;
  std::string containerName;
};

// How the system-name form treats a container made only of spaces.
enum class BlankContainer { kEmpty, kKeep };

// Splits location (null = empty). A device path is parsed with ParseADPath:
// its failure is returned (0 otherwise), and a failing device-type filter
// throws `long`. A failed identifier-text conversion leaves idText empty.
HRESULT SplitDeviceLocation(const char* location, DeviceLocation& out, BlankContainer blanks = BlankContainer::kEmpty);

// Whether device has the location's type name, device (system) name and
// identifier text, each compared ignoring case and only when the location
// sets it. Returns a failing component call's result (matches is then false).
HRESULT DeviceMatches(IAD_Device* device, const DeviceLocation& criteria, bool& matches);

}  // namespace keydepot::detail
