// The component's exports. The class objects are used directly as the named
// interface: each GetClassObject call makes a new object.
//
// Unload policy: the first GetClassObject pins the module (one load
// reference taken and never given back), so it stays loaded until the
// process ends. The library loads and frees the component for every device
// path it parses; reloading costs about 40 times the parse itself
// (docs/nodyx.md). CanUnloadNow still answers by the COM rule.
#include "device_mgr.h"
#include "device_type_mgr.h"

#include "kdplatform/com_object.h"

#include <atomic>

#define NODYX_EXPORT KDP_MODULE_EXPORT

NODYX_EXPORT HRESULT STDAPICALLTYPE GetClassObject(REFCLSID classId, REFIID iid, void** object);
NODYX_EXPORT HRESULT STDAPICALLTYPE CanUnloadNow();
NODYX_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow();

namespace {

#if !defined(NODYX_NO_SELF_PIN)
std::atomic<bool> g_pinned{false};
#endif

void PinModule() {
#if !defined(NODYX_NO_SELF_PIN)
  // Read first: an exchange on every call would be a locked write each time.
  if (g_pinned.load(std::memory_order_relaxed) || g_pinned.exchange(true)) return;
  HMODULE self = nullptr;
  // Deliberately leaked: this reference is what keeps the module loaded.
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&g_pinned), &self);
#endif
}

}  // namespace

NODYX_EXPORT HRESULT STDAPICALLTYPE GetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  HRESULT hr = CLASS_E_CLASSNOTAVAILABLE;
  if (IsEqualCLSID(classId, CLSID_ADDeviceMgr)) {
    hr = nodyx::CreateAndQuery<nodyx::DeviceMgr>(iid, object);
  } else if (IsEqualCLSID(classId, CLSID_ADDeviceTypeMgr)) {
    hr = nodyx::CreateAndQuery<nodyx::DeviceTypeMgr>(iid, object);
  }
  if (SUCCEEDED(hr)) PinModule();
  return hr;
}

NODYX_EXPORT HRESULT STDAPICALLTYPE CanUnloadNow() { return kdp::ModuleObjectCount() == 0 ? S_OK : S_FALSE; }

NODYX_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow() { return CanUnloadNow(); }
