// Building device paths.
#include "ad/identifier_text.h"
#include "keydepot/ad/device_path.h"

#include <sstream>

namespace keydepot::ad {

HRESULT MakeADPath(EAD_DeviceType type, DeviceId id, const std::string& container, std::string& out) {
  if (id.empty()) return E_INVALIDARG;
  try {
    std::string text;
    const HRESULT result = IdentifierToText(type, id, text);
    if (FAILED(result)) return result;
    std::ostringstream path;
    path << "1|2\\5|" << static_cast<std::int32_t>(type) << "\\17|" << text << "\\8|" << container;
    out = path.str();
    return result;
  } catch (long code) {
    return static_cast<HRESULT>(code);
  }
}

HRESULT MakeDevicePath(IAD_Device* device, std::string& out) {
  if (!device) return E_INVALIDARG;
  try {
    const ComPtr<IAD_Device> held(device);  // one reference for the call
    ComPtr<IAD_DeviceType> typeObject;
    if (HRESULT hr = held->GetDeviceType(typeObject.put()); FAILED(hr)) return hr;
    if (!typeObject) return E_UNEXPECTED;
    EAD_DeviceType type = EAD_DeviceType_None;
    if (HRESULT hr = typeObject->GetType(&type); FAILED(hr)) return hr;

    DWORD size = 0;
    held->GetID(&size, nullptr);  // size query; its result does not matter
    if (size == 0) return E_UNEXPECTED;
    DeviceId id(size, 0);
    if (HRESULT hr = held->GetID(&size, id.data()); FAILED(hr)) return hr;
    return MakeADPath(type, std::move(id), std::string(), out);
  } catch (long code) {
    return static_cast<HRESULT>(code);
  }
}

HRESULT IsADPathEqual(const std::string& first, const std::string& second, bool& equal) {
  IADPathProps* parsed = nullptr;
  HRESULT hr = ParseADPath(first, &parsed);
  if (FAILED(hr)) return hr;
  const auto a = RefHolder<IADPathProps>::Adopt(parsed);
  parsed = nullptr;
  hr = ParseADPath(second, &parsed);
  if (FAILED(hr)) return hr;
  const auto b = RefHolder<IADPathProps>::Adopt(parsed);

  bool same = a->GetDeviceType() == b->GetDeviceType() && a->GetDeviceIDBytes() == b->GetDeviceIDBytes();
  if (same) {
    const std::string ca = a->GetContainerName();
    const std::string cb = b->GetContainerName();
    if (!ca.empty() && !cb.empty()) {
      same = _mbsicmp(reinterpret_cast<const unsigned char*>(ca.c_str()),
                      reinterpret_cast<const unsigned char*>(cb.c_str())) == 0;
    } else {
      same = ca.empty() == cb.empty();
    }
  }
  equal = same;
  return S_OK;
}

}  // namespace keydepot::ad
