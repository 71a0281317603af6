// Finding devices among those a session's device manager enumerates.
#include "ad/device_reading.h"
#include "ad/enumeration.h"
#include "ad/last_error_keeper.h"
#include "ad/session_access.h"
#include "keydepot/ad/device_path.h"
#include "keydepot/ad/devices.h"
#include "kdplatform/return_if_failed.h"

#include <functional>

namespace keydepot::ad {
namespace {

using DeviceTest = std::function<bool(IAD_Device*)>;

// Identifier bytes without their trailing zero bytes.
DeviceId Trimmed(DeviceId id) {
  while (!id.empty() && id.back() == 0) id.pop_back();
  return id;
}

// Walks the devices; the first that passes test is handed out. A device that
// cannot be examined fails the test and is skipped.
HRESULT FindDevice(IAD_EnumDevice* devices, const DeviceTest& test, IAD_Device** out) {
  HRESULT result = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  detail::ForEachFetched<IAD_Device>(
      devices,
      [&](IAD_Device* device) {
        if (!test(device)) return true;
        device->AddRef();
        *out = device;
        result = S_OK;
        return false;
      },
      detail::Walk::kOnAfterOk);
  return result;
}

// The common start: session, out-parameter, enumerator. held keeps the
// session's component loaded while the caller walks the devices.
HRESULT StartEnumeration(DWORD session, const void* out, detail::SessionManager& held,
                         ComPtr<IAD_EnumDevice>* devices) {
  HRESULT hr = S_OK;
  held = detail::SessionDeviceManager(session, &hr);
  if (!held) return hr;
  if (!out) return E_INVALIDARG;
  return detail::OpenDeviceEnumerator(held.get(), devices);
}

bool HasIdentity(IAD_Device* device, EAD_DeviceType type, const DeviceId& wanted) {
  ComPtr<IAD_DeviceType> typeObject;
  if (FAILED(device->GetDeviceType(typeObject.put())) || !typeObject) return false;
  EAD_DeviceType actual = EAD_DeviceType_None;
  if (FAILED(typeObject->GetType(&actual)) || actual != type) return false;

  DeviceId id;
  if (FAILED(detail::ReadDeviceIdMaybeEmpty(device, id))) return false;
  return Trimmed(std::move(id)) == wanted;
}

}  // namespace

HRESULT GetDevicesEnum(DWORD session, IAD_EnumDevice** out) {
  const detail::LastErrorKeeper lastError;
  detail::SessionManager held;
  ComPtr<IAD_EnumDevice> devices;
  const HRESULT hr = StartEnumeration(session, out, held, &devices);
  KD_RETURN_IF_FAILED(hr);
  *out = devices.detach();
  return hr;
}

HRESULT FindDeviceByPath(DWORD session, const char* devicePath, IAD_Device** out) {
  const detail::LastErrorKeeper lastError;
  try {
    HRESULT hr = S_OK;
    detail::SessionManager manager = detail::SessionDeviceManager(session, &hr);
    if (!manager) return hr;
    if (!out) return E_INVALIDARG;
    if (!devicePath) return E_POINTER;

    IADPathProps* parsed = nullptr;
    hr = ParseADPath(devicePath, &parsed);
    KD_RETURN_IF_FAILED(hr);
    const auto path = ComPtr<IADPathProps>::Adopt(parsed);
    const EAD_DeviceType type = path->GetDeviceType();
    const DeviceId wanted = Trimmed(path->GetDeviceIDBytes());

    ComPtr<IAD_EnumDevice> devices;
    hr = detail::OpenDeviceEnumerator(manager.get(), &devices);
    KD_RETURN_IF_FAILED(hr);
    return FindDevice(
        devices.get(), [&](IAD_Device* d) { return HasIdentity(d, type, wanted); }, out);
  } catch (long code) {  // a device-type filter that cannot be opened
    return static_cast<HRESULT>(code);
  }
}

HRESULT FindDeviceByDisplayName(DWORD session, const char* name, IAD_Device** out) {
  const detail::LastErrorKeeper lastError;
  detail::SessionManager held;
  ComPtr<IAD_EnumDevice> devices;
  const HRESULT started = StartEnumeration(session, out, held, &devices);
  KD_RETURN_IF_FAILED(started);
  if (!name) return E_POINTER;
  const HRESULT hr = FindDevice(
      devices.get(),
      [name](IAD_Device* d) {
        char displayName[AD_NAME_BUFFER] = {};
        if (FAILED(d->GetDisplayName(displayName))) return false;
        displayName[sizeof displayName - 1] = '\0';
        return _mbsicmp(reinterpret_cast<const unsigned char*>(displayName),
                        reinterpret_cast<const unsigned char*>(name)) == 0;
      },
      out);
  return FAILED(hr) ? hr : started;
}

HRESULT IsCryptoDevice(DWORD session, const char* devicePath, int* flag) {
  const detail::LastErrorKeeper lastError;
  if (!flag) return E_INVALIDARG;
  ComPtr<IAD_Device> device;
  const HRESULT hr = FindDeviceByPath(session, devicePath, device.put());
  KD_RETURN_IF_FAILED(hr);
  ComPtr<IAD_CryptoDevice> crypto;
  device.As(&crypto);  // only the pointer counts
  *flag = crypto ? 1 : 0;
  return hr;
}

}  // namespace keydepot::ad
