#include "device_types.h"

#include <array>

namespace nodyx {

namespace {

// 100, 200 and 300 are the base numbers of their families; 101 and 102 are
// variants a caller may ask for exactly or never.
constexpr std::array<DeviceTypeInfo, 5> kTypes{{
    {100, "SoftToken"},
    {101, "SoftTokenPlus"},
    {102, "SoftTokenLite"},
    {200, "SoftCrypto"},
    {kPkcs11TokenType, "Pkcs11Token", DeviceFamily::Pkcs11},
}};

}  // namespace

std::span<const DeviceTypeInfo> KnownDeviceTypes() { return kTypes; }

const DeviceTypeInfo* FindDeviceType(std::int32_t number) {
  for (const auto& type : kTypes) {
    if (type.number == number) return &type;
  }
  return nullptr;
}

const DeviceTypeInfo* FindFolderDeviceType(std::int32_t number) {
  const DeviceTypeInfo* type = FindDeviceType(number);
  return type != nullptr && type->family == DeviceFamily::Folder ? type : nullptr;
}

}  // namespace nodyx
