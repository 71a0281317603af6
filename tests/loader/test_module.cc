// A component module for the loader's tests. One source, built several times:
// the LOADER_TEST_* definition picks which exports exist and what they answer.
#include "kdplatform/com_object.h"

namespace {

struct Thing : kdp::ComObject<Thing, IUnknown> {};

}  // namespace

#define EXPORT KDP_MODULE_EXPORT

EXPORT HRESULT STDAPICALLTYPE GetClassObject(REFCLSID, REFIID, void** object);
EXPORT HRESULT STDAPICALLTYPE CanUnloadNow();
EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow();
EXPORT int LoaderTestModuleMarker();

#if !defined(LOADER_TEST_NO_GET_CLASS_OBJECT)
EXPORT HRESULT STDAPICALLTYPE GetClassObject(REFCLSID, REFIID, void** object) {
  *object = nullptr;
#if defined(LOADER_TEST_GET_CLASS_OBJECT_FAILS)
  return E_NOINTERFACE;
#elif defined(LOADER_TEST_GET_CLASS_OBJECT_FAILS_WITH_OBJECT)
  *object = static_cast<IUnknown*>(new Thing);
  return E_NOINTERFACE;
#elif defined(LOADER_TEST_GET_CLASS_OBJECT_EMPTY)
  return S_OK;
#else
  *object = static_cast<IUnknown*>(new Thing);
  return S_OK;
#endif
}
#endif

#if !defined(LOADER_TEST_NO_CAN_UNLOAD_NOW)
EXPORT HRESULT STDAPICALLTYPE CanUnloadNow() {
#if defined(LOADER_TEST_CAN_UNLOAD_NOW_FALSE)
  return S_FALSE;
#else
  return kdp::ModuleObjectCount() == 0 ? S_OK : S_FALSE;
#endif
}
#endif

#if defined(LOADER_TEST_DLL_CAN_UNLOAD_NOW_FALSE)
EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
#endif

// Lets a test tell whether a handle belongs to this module.
EXPORT int LoaderTestModuleMarker() { return 42; }
