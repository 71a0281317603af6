// A device type: number, name, and the identifier text form (upper-case hex,
// see id_text.h).
#include "call.h"
#include "objects.h"

#include "kdplatform/com_object.h"
#include "testcomponent/id_text.h"

#include <string>

namespace kdtc::module {
namespace {

class DeviceType final : public kdp::ComObject<DeviceType, IAD_DeviceType> {
 public:
  DeviceType(int type, engine::DeviceKey device) : type_(type), device_(device), arg_(std::to_string(type)) {}

  HRESULT STDMETHODCALLTYPE GetType(EAD_DeviceType* type) override {
    CallScope call("DeviceType.GetType", device_, arg_);
    if (!type) return E_POINTER;
    if (call.Failed()) return call.Result();
    *type = static_cast<EAD_DeviceType>(type_);
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE GetTypeName(char* name) override {
    CallScope call("DeviceType.GetTypeName", device_, arg_);
    if (!name) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto text = engine::TypeName(type_);
    if (!text) return E_UNEXPECTED;  // the test forgot the type after Reset
    return call.Finish(CopyText(*text, name, AD_NAME_BUFFER));
  }

  HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved14() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved15() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetDisplayName(DWORD idSize, const BYTE* id, char* name) override {
    CallScope call("DeviceType.GetDisplayName", device_, arg_);
    if (!name || (idSize && !id)) return E_POINTER;
    if (call.Failed()) return call.Result();
    if (idSize == 0 || idSize > kMaxIdBytes) return E_INVALIDARG;
    return call.Finish(CopyText(engine::DisplayNameFor(type_, Bytes(id, id + idSize)), name, AD_NAME_BUFFER));
  }

  HRESULT STDMETHODCALLTYPE IdToText(DWORD idSize, const BYTE* id, char* text) override {
    CallScope call("DeviceType.IdToText", device_, arg_);
    if (!text || (idSize && !id)) return E_POINTER;
    if (call.Failed()) return call.Result();
    if (idSize == 0 || idSize > kMaxIdBytes) return E_INVALIDARG;
    return call.Finish(CopyText(IdToHex(Bytes(id, id + idSize)), text, AD_ID_TEXT_BUFFER));
  }

  // Size-query convention: a null buffer learns the size; a buffer that is
  // too small gets the insufficient-buffer result and the needed size.
  HRESULT STDMETHODCALLTYPE TextToId(const char* text, DWORD* idSize, BYTE* id) override {
    CallScope call("DeviceType.TextToId", device_, arg_);
    if (!text || !idSize) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto bytes = HexToId(text);
    if (!bytes) return E_INVALIDARG;
    const auto needed = static_cast<DWORD>(bytes->size());
    if (!id) {
      *idSize = needed;
      return call.Finish(S_OK);
    }
    if (*idSize < needed) {
      *idSize = needed;
      return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(bytes->begin(), bytes->end(), id);
    *idSize = needed;
    return call.Finish(S_OK);
  }

 private:
  LiveToken live_{"DeviceType"};
  int type_;
  engine::DeviceKey device_;
  std::string arg_;
};

}  // namespace

ComPtr<IAD_DeviceType> NewDeviceType(int type, engine::DeviceKey device) {
  return ComPtr<IAD_DeviceType>::Adopt(new DeviceType(type, device));
}

}  // namespace kdtc::module
