// The device-type manager: type objects for known type numbers, and
// IPersistFile for the filter file. Load and Save only record the path and
// return what the test programmed; no file is touched.
#include "call.h"
#include "objects.h"

#include "kdplatform/com_object.h"

#include <string>

namespace kdtc::module {
namespace {

class DeviceTypeMgr final : public kdp::ComObject<DeviceTypeMgr, IAD_DeviceTypeMgr, IPersistFile> {
 public:
  // Asking for IPersistFile (or IPersist) is a call of its own, so that a
  // test can make it fail with any code.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object && (iid == IID_IPersistFile || iid == IID_IPersist)) {
      CallScope call("TypeMgr.QueryPersistFile");
      if (call.Failed()) {
        *object = nullptr;
        return call.Result();
      }
    }
    return ComObject::QueryInterface(iid, object);
  }

  HRESULT QueryOtherInterface(REFIID iid, void** object) {
    if (iid != IID_IPersist) return E_NOINTERFACE;
    *object = static_cast<IPersist*>(this);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetDeviceType(EAD_DeviceType type, IAD_DeviceType** out) override {
    CallScope call("TypeMgr.GetDeviceType", 0, std::to_string(type));
    if (!out) return E_POINTER;
    *out = nullptr;
    if (call.Failed()) return call.Result();
    if (!engine::TypeName(type)) return E_INVALIDARG;
    *out = NewDeviceType(type, 0).detach();
    return call.Finish(S_OK);
  }

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override {
    if (!classId) return E_POINTER;
    *classId = CLSID_ADDeviceTypeMgr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD) override {
    CallScope call("PersistFile.Load");
    if (!fileName) return E_POINTER;
    engine::RecordPersist(engine::PersistOp::Load, fileName);
    return call.Failed() ? call.Result() : call.Finish(S_OK);
  }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL) override {
    CallScope call("PersistFile.Save");
    if (!fileName) return E_POINTER;
    engine::RecordPersist(engine::PersistOp::Save, fileName);
    return call.Failed() ? call.Result() : call.Finish(S_OK);
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName) override {
    if (fileName) *fileName = nullptr;
    return E_NOTIMPL;
  }

 private:
  LiveToken live_{"DeviceTypeMgr"};
};

}  // namespace

ComPtr<IAD_DeviceTypeMgr> NewDeviceTypeMgr() { return ComPtr<IAD_DeviceTypeMgr>::Adopt(new DeviceTypeMgr); }

}  // namespace kdtc::module
