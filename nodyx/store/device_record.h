// The description of one device, kept as device.json in the device's folder.
#pragma once

#include "pin_hash.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nodyx {

inline constexpr std::uint32_t kDefaultDeviceBytes = 16u * 1024u * 1024u;
// Wrong PINs in a row a device takes before it locks (pin_tries.h), unless
// its description says otherwise; a description may say 1 to kMaxPinTryLimit.
inline constexpr std::uint32_t kDefaultPinTryLimit = 10;
inline constexpr std::uint32_t kMaxPinTryLimit = 100;

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
  // The device's own admin secret: it unblocks a locked PIN (nodyx-admin
  // unblock). None on devices made without one.
  std::optional<PinHash> adminPin;
  // Counts the user PIN and the admin PIN alike, each on its own.
  std::uint32_t pinTryLimit = kDefaultPinTryLimit;
  bool detached = false;
};

// Parses device.json text. nullopt for malformed text, a missing or
// ill-typed field, a number that is not an integer in its field's range, an
// unknown type number, an identifier that is empty, longer than kMaxIdBytes
// or not hex, a PIN hash of another shape than PinHashProblem allows or a
// PIN try limit outside 1 to kMaxPinTryLimit; *problem (when given) then says which, for people.
std::optional<DeviceRecord> ParseDeviceRecord(const std::string& json, std::string* problem = nullptr);

std::string SerializeDeviceRecord(const DeviceRecord& record);

}  // namespace nodyx
