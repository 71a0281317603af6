// The device manager. Holds one reference to each advised sink until it is
// unadvised or the manager dies.
#include "call.h"
#include "objects.h"

#include "kdplatform/com_object.h"

#include <map>

namespace kdtc::module {
namespace {

class DeviceMgr final : public kdp::ComObject<DeviceMgr, IAD_DeviceMgr> {
 public:
  ~DeviceMgr() override {
    for (std::size_t i = 0; i < sinks_.size(); ++i) engine::RecordUnadvise();
  }

  HRESULT STDMETHODCALLTYPE Initialize(IAD_DeviceTypeMgr* typeMgr, bool flag) override {
    CallScope call("DeviceMgr.Initialize");
    engine::RecordInitialize(flag, typeMgr != nullptr);
    return call.Failed() ? call.Result() : call.Finish(S_OK);
  }
  HRESULT STDMETHODCALLTYPE Uninitialize() override { return Simple("DeviceMgr.Uninitialize"); }
  HRESULT STDMETHODCALLTYPE Refresh() override { return Simple("DeviceMgr.Refresh"); }
  HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE EnumDevices(IUnknown** collection) override {
    CallScope call("DeviceMgr.EnumDevices");
    if (!collection) return E_POINTER;
    *collection = nullptr;
    if (call.Failed()) return call.Result();
    if (!engine::EnumDevicesGivesNoCollection()) {
      *collection = NewDeviceEnumerator(engine::AttachedDevices(), 0).detach();
    }
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE Advise(_IAD_DeviceMgrEvents* sink, DWORD* cookie) override {
    CallScope call("DeviceMgr.Advise");
    if (!sink || !cookie) return E_POINTER;
    if (call.Failed()) return call.Result();
    *cookie = nextCookie_++;
    sinks_.emplace(*cookie, ComPtr<_IAD_DeviceMgrEvents>(sink));
    engine::RecordAdvise(sink);
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    CallScope call("DeviceMgr.Unadvise");
    if (call.Failed()) return call.Result();
    if (sinks_.erase(cookie) == 0) return CONNECT_E_NOCONNECTION;
    engine::RecordUnadvise();
    return call.Finish(S_OK);
  }

 private:
  static HRESULT Simple(const char* name) {
    CallScope call(name);
    return call.Failed() ? call.Result() : call.Finish(S_OK);
  }

  LiveToken live_{"DeviceMgr"};
  std::map<DWORD, ComPtr<_IAD_DeviceMgrEvents>> sinks_;
  DWORD nextCookie_ = 1;
};

}  // namespace

ComPtr<IAD_DeviceMgr> NewDeviceMgr() { return ComPtr<IAD_DeviceMgr>::Adopt(new DeviceMgr); }

}  // namespace kdtc::module
