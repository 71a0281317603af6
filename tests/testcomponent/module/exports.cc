// The module's exports. "GetClassObject" hands out the class objects
// themselves (not class factories), each with one reference for the caller.
#include "call.h"
#include "objects.h"

#include "kdplatform/com_object.h"

#define KDTC_EXPORT KDP_MODULE_EXPORT

KDTC_EXPORT HRESULT STDAPICALLTYPE GetClassObject(REFCLSID classId, REFIID iid, void** object);
KDTC_EXPORT HRESULT STDAPICALLTYPE CanUnloadNow();
KDTC_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow();

using kdtc::ClassObject;
using kdtc::module::CallScope;
using kdp::ComPtr;

KDTC_EXPORT HRESULT STDAPICALLTYPE GetClassObject(REFCLSID classId, REFIID iid, void** object) {
  const bool deviceMgr = classId == CLSID_ADDeviceMgr;
  const bool typeMgr = classId == CLSID_ADDeviceTypeMgr;
  CallScope call(deviceMgr ? "GetClassObject.DeviceMgr"
                 : typeMgr ? "GetClassObject.DeviceTypeMgr"
                           : "GetClassObject.Unknown");
  if (!object) return E_POINTER;
  *object = nullptr;
  if (call.Failed()) return call.Result();
  if (!deviceMgr && !typeMgr) return CLASS_E_CLASSNOTAVAILABLE;
  const auto plan = kdtc::engine::PlanClassObject(deviceMgr ? ClassObject::DeviceMgr : ClassObject::DeviceTypeMgr);
  if (!plan.giveObject) return plan.emptyResult;
  ComPtr<IUnknown> created;
  if (deviceMgr) {
    created = ComPtr<IUnknown>::Adopt(kdtc::module::NewDeviceMgr().detach());
  } else {
    created = ComPtr<IUnknown>::Adopt(kdtc::module::NewDeviceTypeMgr().detach());
  }
  return call.Finish(created->QueryInterface(iid, object));
}

// A forced result, else the COM rule.
KDTC_EXPORT HRESULT STDAPICALLTYPE CanUnloadNow() {
  CallScope call("CanUnloadNow");
  if (call.Failed()) return call.Result();
  return call.Finish(kdp::ModuleObjectCount() == 0 ? S_OK : S_FALSE);
}

KDTC_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  CallScope call("DllCanUnloadNow");
  if (call.Failed()) return call.Result();
  return call.Finish(S_OK);
}
