// Building device paths.
#include "ad/device_reading.h"
#include "ad/identifier_text.h"
#include "keydepot/ad/device_path.h"
#include "kdplatform/return_if_failed.h"

#include <string>

namespace keydepot::ad {

HRESULT MakeADPath(EAD_DeviceType type, DeviceId id, const std::string& container, std::string& out) {
  if (id.empty()) return E_INVALIDARG;
  try {
    std::string text;
    const HRESULT result = detail::IdentifierToText(type, id, text);
    KD_RETURN_IF_FAILED(result);
    // Appended piece by piece: a string stream would cost a quarter of the call.
    std::string path = "1|2\\5|";
    path += std::to_string(static_cast<std::int32_t>(type));
    path += "\\17|";
    path += text;
    path += "\\8|";
    path += container;
    out = std::move(path);
    return result;
  } catch (long code) {  // a device-type filter that cannot be opened
    return static_cast<HRESULT>(code);
  }
}

HRESULT MakeDevicePath(IAD_Device* device, std::string& out) {
  if (!device) return E_INVALIDARG;
  const ComPtr<IAD_Device> held(device);  // one reference for the call
  return detail::DevicePathOf(held.get(), std::string(), out);
}

HRESULT IsADPathEqual(const std::string& first, const std::string& second, bool& equal) {
  IADPathProps* parsed = nullptr;
  HRESULT hr = ParseADPath(first, &parsed);
  KD_RETURN_IF_FAILED(hr);
  const auto a = ComPtr<IADPathProps>::Adopt(parsed);
  parsed = nullptr;
  hr = ParseADPath(second, &parsed);
  KD_RETURN_IF_FAILED(hr);
  const auto b = ComPtr<IADPathProps>::Adopt(parsed);

  bool same = a->GetDeviceType() == b->GetDeviceType() && a->GetDeviceIDBytes() == b->GetDeviceIDBytes();
  if (same) {
    const std::string ca = a->GetContainerName();
    const std::string cb = b->GetContainerName();
    if (!ca.empty() && !cb.empty()) {
      same = detail::SameName(ca, cb);
    } else {
      same = ca.empty() == cb.empty();
    }
  }
  equal = same;
  return S_OK;
}

}  // namespace keydepot::ad
