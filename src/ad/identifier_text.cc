#include "ad/identifier_text.h"
#include "kdplatform/return_if_failed.h"

#include "ad/device_reading.h"
#include "ad/filter_core.h"

namespace keydepot::detail {
namespace {

// The device-type filter a conversion opens on the absent file: the open and
// close that OpenDeviceFilter and CloseDeviceFilter make, without the handle,
// which nothing outside the conversion could use. A failed open throws its
// code as `long` with the thread's last error set to it, as the DeviceFilter
// constructor does.
class ConversionFilter {
 public:
  ConversionFilter() {
    const HRESULT result = core_.Load();
    if (FAILED(result)) {
      core_.Close();  // first: releasing the component may reset the last error
      SetLastError(static_cast<DWORD>(result));
      throw static_cast<long>(result);
    }
  }
  ~ConversionFilter() { core_.Close(); }
  ConversionFilter(const ConversionFilter&) = delete;
  ConversionFilter& operator=(const ConversionFilter&) = delete;

  IAD_DeviceTypeMgr* Manager() const noexcept { return core_.DeviceTypeManager(); }

 private:
  FilterCore core_{kAbsentFilterFile};
};

ComPtr<IAD_DeviceType> TypeObject(const ConversionFilter& filter, EAD_DeviceType type, HRESULT& result) {
  ComPtr<IAD_DeviceType> object;
  IAD_DeviceTypeMgr* manager = filter.Manager();
  result = manager ? manager->GetDeviceType(type, object.put()) : E_UNEXPECTED;
  if (SUCCEEDED(result) && !object) result = E_UNEXPECTED;
  return object;
}

}  // namespace

HRESULT IdentifierToText(EAD_DeviceType type, const ad::DeviceId& id, char (&text)[kIdTextBufferSize]) {
  const ConversionFilter filter;
  HRESULT result = S_OK;
  ComPtr<IAD_DeviceType> object = TypeObject(filter, type, result);
  KD_RETURN_IF_FAILED(result);

  text[0] = '\0';
  result = object->IdToText(static_cast<DWORD>(id.size()), id.data(), text);
  text[kIdTextBufferSize - 1] = '\0';
  return result;
}

HRESULT IdentifierToText(EAD_DeviceType type, const ad::DeviceId& id, std::string& text) {
  char buffer[kIdTextBufferSize];
  const HRESULT result = IdentifierToText(type, id, buffer);
  if (SUCCEEDED(result)) text = buffer;
  return result;
}

bool TextToIdentifier(EAD_DeviceType type, std::string_view text, ad::DeviceId& id) {
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

  const ConversionFilter filter;
  HRESULT result = S_OK;
  ComPtr<IAD_DeviceType> object = TypeObject(filter, type, result);
  if (FAILED(result)) return false;

  DWORD size = 0;
  if (FAILED(object->TextToId(terminated, &size, nullptr))) return false;
  // Capped as identifiers read from devices are: a bogus size must not make
  // the library allocate gigabytes (or throw out of it).
  if (size > kMaxDeviceIdBytes) return false;
  ad::DeviceId bytes(size, 0);
  if (FAILED(object->TextToId(terminated, &size, bytes.data()))) return false;
  id = std::move(bytes);
  return true;
}

}  // namespace keydepot::detail
