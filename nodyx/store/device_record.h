// The description of one device, kept as device.json in the device's folder.
#pragma once

#include "pin_hash.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nodyx {

inline constexpr std::uint32_t kDefaultDeviceBytes = 16u * 1024u * 1024u;

struct DeviceRecord {
  std::int32_t type = 0;
  std::vector<std::uint8_t> id;
  std::string displayName;
  std::string systemName;
  std::string defaultContainer;  // empty: the device has none
  std::uint32_t sizeValue = kDefaultDeviceBytes;
  std::uint32_t room = kDefaultDeviceBytes;
  bool keyStorage = true;
  bool cryptoDevice = false;
  std::int32_t cryptoFlag = 0;
  std::optional<PinHash> pin;
  bool detached = false;
};

// Parses device.json text. nullopt for malformed text, a missing or
// ill-typed field, a number that is not an integer in its field's range, an
// unknown type number or an identifier that is empty, longer than kMaxIdBytes
// or not hex; *problem (when given) then says which, for people.
std::optional<DeviceRecord> ParseDeviceRecord(const std::string& json, std::string* problem = nullptr);

std::string SerializeDeviceRecord(const DeviceRecord& record);

}  // namespace nodyx
