#include "ad/identifier_text.h"

#include "keydepot/ad/device_filter.h"

namespace keydepot::ad {
namespace {

ComPtr<IAD_DeviceType> TypeObject(const DeviceFilter& filter, EAD_DeviceType type, HRESULT& result) {
  ComPtr<IAD_DeviceType> object;
  IAD_DeviceTypeMgr* manager = filter;
  result = manager ? manager->GetDeviceType(type, object.put()) : E_UNEXPECTED;
  if (SUCCEEDED(result) && !object) result = E_UNEXPECTED;
  return object;
}

}  // namespace

HRESULT IdentifierToText(EAD_DeviceType type, const DeviceId& id, std::string& text) {
  DeviceFilter filter(kAbsentFilterFile);
  HRESULT result = S_OK;
  ComPtr<IAD_DeviceType> object = TypeObject(filter, type, result);
  if (FAILED(result)) return result;

  char buffer[kIdTextBufferSize] = {};
  result = object->IdToText(static_cast<DWORD>(id.size()), id.data(), buffer);
  if (FAILED(result)) return result;
  buffer[sizeof buffer - 1] = '\0';
  text = buffer;
  return result;
}

bool TextToIdentifier(EAD_DeviceType type, std::string_view text, DeviceId& id) {
  // The component takes a terminated text; identifier texts fit the stack.
  char small[kIdTextBufferSize];
  std::string large;
  const char* terminated = small;
  if (text.size() < sizeof small) {
    text.copy(small, text.size());
    small[text.size()] = '\0';
  } else {
    large.assign(text);
    terminated = large.c_str();
  }

  DeviceFilter filter(kAbsentFilterFile);
  HRESULT result = S_OK;
  ComPtr<IAD_DeviceType> object = TypeObject(filter, type, result);
  if (FAILED(result)) return false;

  DWORD size = 0;
  if (FAILED(object->TextToId(terminated, &size, nullptr))) return false;
  DeviceId bytes(size, 0);
  if (FAILED(object->TextToId(terminated, &size, bytes.data()))) return false;
  id = std::move(bytes);
  return true;
}

}  // namespace keydepot::ad
