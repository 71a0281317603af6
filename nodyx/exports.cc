// The component's exports. The class objects are used directly as the named
// interface: each GetClassObject call makes a new object.
#include "device_mgr.h"
#include "device_type_mgr.h"

#include "kdplatform/com_object.h"

#define NODYX_EXPORT extern "C" __attribute__((visibility("default")))

NODYX_EXPORT HRESULT STDAPICALLTYPE GetClassObject(REFCLSID classId, REFIID iid, void** object);
NODYX_EXPORT HRESULT STDAPICALLTYPE CanUnloadNow();
NODYX_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow();

NODYX_EXPORT HRESULT STDAPICALLTYPE GetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (IsEqualCLSID(classId, CLSID_ADDeviceMgr)) return nodyx::CreateAndQuery<nodyx::DeviceMgr>(iid, object);
  if (IsEqualCLSID(classId, CLSID_ADDeviceTypeMgr)) return nodyx::CreateAndQuery<nodyx::DeviceTypeMgr>(iid, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

NODYX_EXPORT HRESULT STDAPICALLTYPE CanUnloadNow() { return kdp::ModuleObjectCount() == 0 ? S_OK : S_FALSE; }

NODYX_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow() { return CanUnloadNow(); }
