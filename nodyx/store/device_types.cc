#include "device_types.h"

#include <array>

namespace nodyx {

namespace {

// 100 and 200 are the base numbers of their families; 101 and 102 are
// variants a caller may ask for exactly or never.
constexpr std::array<DeviceTypeInfo, 4> kTypes{{
    {100, "SoftToken"},
    {101, "SoftTokenPlus"},
    {102, "SoftTokenLite"},
    {200, "SoftCrypto"},
}};

}  // namespace

std::span<const DeviceTypeInfo> KnownDeviceTypes() { return kTypes; }

const DeviceTypeInfo* FindDeviceType(std::int32_t number) {
  for (const auto& type : kTypes) {
    if (type.number == number) return &type;
  }
  return nullptr;
}

}  // namespace nodyx
