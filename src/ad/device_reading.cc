#include "ad/device_reading.h"

namespace keydepot::detail {

HRESULT DeviceTypeObjectOf(IAD_Device* device, ComPtr<IAD_DeviceType>& typeObject) {
  ComPtr<IAD_DeviceType> found;
  KD_RETURN_IF_FAILED(device->GetDeviceType(found.put()));
  if (!found) return E_UNEXPECTED;
  typeObject = std::move(found);
  return S_OK;
}

HRESULT DeviceTypeOf(IAD_Device* device, EAD_DeviceType& type) {
  ComPtr<IAD_DeviceType> typeObject;
  KD_RETURN_IF_FAILED(DeviceTypeObjectOf(device, typeObject));
  EAD_DeviceType read = EAD_DeviceType_None;
  KD_RETURN_IF_FAILED(typeObject->GetType(&read));
  type = read;
  return S_OK;
}

namespace {

HRESULT ReadId(IAD_Device* device, bool refuseEmpty, ad::DeviceId& id) {
  DWORD size = 0;
  device->GetID(&size, nullptr);  // size query; its result does not matter
  if (size == 0 && refuseEmpty) return E_UNEXPECTED;
  if (size > kMaxDeviceIdBytes) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  ad::DeviceId bytes(size, 0);
  KD_RETURN_IF_FAILED(device->GetID(&size, bytes.data()));
  id = std::move(bytes);
  return S_OK;
}

}  // namespace

HRESULT ReadDeviceIdMaybeEmpty(IAD_Device* device, ad::DeviceId& id) { return ReadId(device, false, id); }

HRESULT ReadNonEmptyDeviceId(IAD_Device* device, ad::DeviceId& id) { return ReadId(device, true, id); }

HRESULT DevicePathOf(IAD_Device* device, const std::string& container, std::string& path) {
  EAD_DeviceType type = EAD_DeviceType_None;
  KD_RETURN_IF_FAILED(DeviceTypeOf(device, type));
  ad::DeviceId id;
  KD_RETURN_IF_FAILED(ReadNonEmptyDeviceId(device, id));
  return ad::MakeADPath(type, std::move(id), container, path);
}

}  // namespace keydepot::detail
