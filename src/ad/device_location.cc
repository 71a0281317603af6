#include "ad/device_location.h"

#include "ad/device_reading.h"
#include "keydepot/ad/device_path.h"
#include "kdplatform/return_if_failed.h"

namespace keydepot::detail {
namespace {

void SplitNamedDevice(const std::string& text, DeviceLocation& out) {
  const size_t doubled = text.find("\\\\", kFormPrefixLength);
  if (doubled != std::string::npos) {
    out.typeName = text.substr(kFormPrefixLength, doubled - kFormPrefixLength);
    out.containerName = text.substr(doubled + 2);
    return;
  }
  const size_t p = text.find('\\', kFormPrefixLength);
  if (p == std::string::npos) {
    out.typeName = text.substr(kFormPrefixLength);
    return;
  }
  out.typeName = text.substr(kFormPrefixLength, p - kFormPrefixLength);
  const size_t q = text.find('\\', p + 1);
  if (q == std::string::npos) {
    out.idText = text.substr(p + 1);
  } else {
    out.idText = text.substr(p + 1, q - p - 1);
    out.containerName = text.substr(q + 1);
  }
}

void SplitSystemName(const std::string& text, DeviceLocation& out, BlankContainer blanks) {
  const size_t p = text.find('\\', kFormPrefixLength);
  if (p == std::string::npos) {
    out.deviceName = text.substr(kFormPrefixLength);
    return;
  }
  out.deviceName = text.substr(kFormPrefixLength, p - kFormPrefixLength);
  std::string rest = text.substr(p + 1);
  if (blanks == BlankContainer::kEmpty && rest.find_first_not_of(' ') == std::string::npos) rest.clear();
  out.containerName = std::move(rest);
}

}  // namespace

HRESULT SplitDeviceLocation(const char* location, DeviceLocation& out, BlankContainer blanks) {
  out = DeviceLocation{};
  const std::string text = location ? location : "";
  if (text.empty()) return S_OK;
  switch (FormOf(text)) {
    case PathForm::kNamedDevice: SplitNamedDevice(text, out); break;
    case PathForm::kSystemName: SplitSystemName(text, out, blanks); break;
    case PathForm::kDevicePath: {
      ad::IADPathProps* parsed = nullptr;
      KD_RETURN_IF_FAILED(ad::ParseADPath(text, &parsed));
      auto holder = ComPtr<ad::IADPathProps>::Adopt(parsed);
      holder->GetDeviceIDText(out.idText);  // a failed conversion leaves it empty
      out.containerName = holder->GetContainerName();
      break;
    }
    case PathForm::kFileSystem: out.containerName = text; break;
  }
  return S_OK;
}

HRESULT DeviceMatches(IAD_Device* device, const DeviceLocation& criteria, bool& matches) {
  // Buffers of AD_PATH_BUFFER bytes hold any name the component writes.
  matches = false;
  std::string name;
  if (!criteria.typeName.empty()) {
    ComPtr<IAD_DeviceType> typeObject;
    KD_RETURN_IF_FAILED(DeviceTypeObjectOf(device, typeObject));
    KD_RETURN_IF_FAILED(ReadText<AD_PATH_BUFFER>([&](char* b) { return typeObject->GetTypeName(b); }, name));
    if (!SameName(name, criteria.typeName)) return S_OK;
  }
  if (!criteria.deviceName.empty()) {
    KD_RETURN_IF_FAILED(ReadText<AD_PATH_BUFFER>([&](char* b) { return device->GetSystemName(b); }, name));
    if (!SameName(name, criteria.deviceName)) return S_OK;
  }
  if (!criteria.idText.empty()) {
    KD_RETURN_IF_FAILED(ReadText<AD_PATH_BUFFER>([&](char* b) { return device->GetIDText(b); }, name));
    if (!SameName(name, criteria.idText)) return S_OK;
  }
  matches = true;
  return S_OK;
}

}  // namespace keydepot::detail
