#include "device_lookup.h"

#include "failure.h"

namespace kdcli {

namespace {

EAD_DeviceType TypeOf(IAD_Device* device) {
  ComPtr<IAD_DeviceType> type;
  EAD_DeviceType number = EAD_DeviceType_None;
  if (FAILED(device->GetDeviceType(type.put())) || !type || FAILED(type->GetType(&number))) {
    return EAD_DeviceType_None;
  }
  return number;
}

FoundDevice Describe(ComPtr<IAD_Device> device) {
  FoundDevice found{std::move(device), {}, {}};
  found.name = DisplayName(found.device.get());
  found.type = TypeOf(found.device.get());
  Guarded("cannot name the device", [&] { return keydepot::ad::MakeDevicePath(found.device.get(), found.devicePath); });
  return found;
}

bool HasType(IAD_Device* device, unsigned long wanted) {
  const EAD_DeviceType number = TypeOf(device);
  return number != EAD_DeviceType_None && static_cast<unsigned long>(static_cast<std::uint32_t>(number)) == wanted;
}

}  // namespace

std::string FoundDevice::Label() const { return (name.empty() ? "the device" : name) + " (" + devicePath + ")"; }

std::vector<ComPtr<IAD_Device>> AttachedDevices(DWORD session) {
  ComPtr<IAD_EnumDevice> devices;
  const HRESULT hr =
      Guarded("cannot list the devices", [&] { return keydepot::ad::GetDevicesEnum(session, devices.put()); });
  if (FAILED(hr)) FailWithHresult("cannot list the devices", hr);
  std::vector<ComPtr<IAD_Device>> found;
  for (;;) {
    ComPtr<IAD_Device> device;
    ULONG fetched = 0;
    const HRESULT next = devices->Next(1, device.put(), &fetched);
    if (fetched != 1) break;
    if (next == S_OK && device) found.push_back(std::move(device));
  }
  return found;
}

unsigned long WantedDeviceType(unsigned long number) { return number == 101 ? 101 : number - number % 100; }

std::string DisplayName(IAD_Device* device) {
  char text[AD_PATH_BUFFER] = {};
  return SUCCEEDED(device->GetDisplayName(text)) ? std::string(text) : std::string();
}

std::optional<FoundDevice> FindDevice(DWORD session, const Target& target) {
  const std::string what = "cannot look up the device of " + target.given();
  if (target.kind() == Target::Kind::kDevicePath) {
    ComPtr<IAD_Device> device;
    const HRESULT hr =
        Guarded(what, [&] { return keydepot::ad::FindDeviceByPath(session, target.path().c_str(), device.put()); });
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return std::nullopt;
    if (FAILED(hr)) FailWithHresult(what, hr);
    return Describe(std::move(device));
  }
  ComPtr<IAD_EnumDevice> devices;
  const HRESULT hr = Guarded(what, [&] { return keydepot::ad::GetDevicesEnum(session, devices.put()); });
  if (FAILED(hr)) FailWithHresult(what, hr);
  const unsigned long wanted = WantedDeviceType(target.typeNumber());
  for (;;) {
    ComPtr<IAD_Device> device;
    ULONG fetched = 0;
    const HRESULT next = devices->Next(1, device.put(), &fetched);
    if (fetched != 1) return std::nullopt;
    if (next == S_OK && device && HasType(device.get(), wanted)) return Describe(std::move(device));
  }
}

}  // namespace kdcli
