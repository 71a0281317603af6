// Building device paths.
#include "ad/device_reading.h"
#include "ad/identifier_text.h"
#include "kdplatform/return_if_failed.h"
#include "keydepot/ad/device_path.h"

#include <charconv>
#include <string>
#include <string_view>

namespace keydepot::ad {

HRESULT MakeADPath(EAD_DeviceType type, DeviceId id, const std::string& container, std::string& out) {
  if (id.empty()) return E_INVALIDARG;
  try {
    char text[detail::kIdTextBufferSize];
    const HRESULT result = detail::IdentifierToText(type, id, text);
    KD_RETURN_IF_FAILED(result);
    char number[16];
    const char* numberEnd = std::to_chars(number, number + sizeof number, static_cast<std::int32_t>(type)).ptr;
    // Written straight into the caller's string, whose room a caller that
    // makes many paths keeps: no allocation once it is large enough.
    static constexpr std::string_view kHead = "1|2\\5|", kId = "\\17|", kContainer = "\\8|";
    const std::string_view textView(text);
    const std::string name = &container == &out ? container : std::string();  // `out` may be the container
    const std::string_view containerView = &container == &out ? name : container;
    out.clear();
    out.reserve(kHead.size() + static_cast<size_t>(numberEnd - number) + kId.size() + textView.size() +
                kContainer.size() + containerView.size());
    out.append(kHead)
        .append(number, static_cast<size_t>(numberEnd - number))
        .append(kId)
        .append(textView)
        .append(kContainer)
        .append(containerView);
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
