// The device types this component knows: number, name and where their
// devices come from.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace nodyx {

// Folder: devices of the folder store (device_store.h). Pkcs11: the tokens
// of PKCS#11 modules (pkcs11/), never described in the store.
enum class DeviceFamily { Folder, Pkcs11 };

struct DeviceTypeInfo {
  std::int32_t number;
  std::string_view name;
  DeviceFamily family = DeviceFamily::Folder;
};

inline constexpr std::int32_t kPkcs11TokenType = 300;

// Every known type, in ascending number order.
std::span<const DeviceTypeInfo> KnownDeviceTypes();

// Null for a number the component does not know.
const DeviceTypeInfo* FindDeviceType(std::int32_t number);

// Null unless the number is a type of the folder store.
const DeviceTypeInfo* FindFolderDeviceType(std::int32_t number);

}  // namespace nodyx
