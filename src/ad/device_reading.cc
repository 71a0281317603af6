#include "ad/device_reading.h"

namespace keydepot::ad {

ComPtr<IAD_DeviceType> DeviceTypeObjectOf(IAD_Device* device) {
  ComPtr<IAD_DeviceType> typeObject;
  detail::ThrowIfFailed(device->GetDeviceType(typeObject.put()));
  if (!typeObject) detail::ThrowIfFailed(E_UNEXPECTED);
  return typeObject;
}

EAD_DeviceType DeviceTypeOf(IAD_Device* device) {
  EAD_DeviceType type = EAD_DeviceType_None;
  detail::ThrowIfFailed(DeviceTypeObjectOf(device)->GetType(&type));
  return type;
}

namespace {

DeviceId ReadId(IAD_Device* device, bool refuseEmpty) {
  DWORD size = 0;
  device->GetID(&size, nullptr);  // size query; its result does not matter
  if (size == 0 && refuseEmpty) detail::ThrowIfFailed(E_UNEXPECTED);
  if (size > kMaxDeviceIdBytes) detail::ThrowIfFailed(HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  DeviceId id(size, 0);
  detail::ThrowIfFailed(device->GetID(&size, id.data()));
  return id;
}

}  // namespace

DeviceId ReadDeviceId(IAD_Device* device) { return ReadId(device, false); }

DeviceId DeviceIdentifierOf(IAD_Device* device) { return ReadId(device, true); }

std::string DevicePathOf(IAD_Device* device, const std::string& container, HRESULT* made) {
  const EAD_DeviceType type = DeviceTypeOf(device);
  std::string path;
  const HRESULT hr = MakeADPath(type, DeviceIdentifierOf(device), container, path);
  detail::ThrowIfFailed(hr);
  if (made) *made = hr;
  return path;
}

}  // namespace keydepot::ad
