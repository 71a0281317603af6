// The device types this component knows: number and name.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace nodyx {

struct DeviceTypeInfo {
  std::int32_t number;
  std::string_view name;
};

// Every known type, in ascending number order.
std::span<const DeviceTypeInfo> KnownDeviceTypes();

// Null for a number the component does not know.
const DeviceTypeInfo* FindDeviceType(std::int32_t number);

}  // namespace nodyx
