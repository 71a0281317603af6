// ComObject: the IUnknown part of a COM object implemented in this project
// (the component, test doubles). Derive from ComObject<Derived, I1, I2...>;
// QueryInterface answers IUnknown and each listed interface (IidOf<I>), the
// reference count is atomic, and the last Release deletes the object.
//
// Every live ComObject counts in its module's object count, which a module's
// "CanUnloadNow" reads: the counter is hidden, so each module has its own.
#pragma once

#include "kdplatform/com.h"
#include "kdplatform/export.h"

#include <atomic>

namespace kdp {

// Number of live ComObjects (plus explicit locks) of the calling module.
inline std::atomic<long> g_moduleObjectCount KDP_MODULE_LOCAL{0};

inline long ModuleObjectCount() noexcept { return g_moduleObjectCount.load(); }
inline void ModuleLock() noexcept { ++g_moduleObjectCount; }
inline void ModuleUnlock() noexcept { --g_moduleObjectCount; }

template <class Derived, class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(static_cast<First*>(this));
    } else if (!(Match<First>(iid, object) || (Match<Rest>(iid, object) || ...))) {
      const HRESULT hr = static_cast<Derived*>(this)->QueryOtherInterface(iid, object);
      if (FAILED(hr) || !*object) {
        *object = nullptr;
        return FAILED(hr) ? hr : E_NOINTERFACE;
      }
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }

  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --refs_;
    if (left == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(left);
  }

 protected:
  ComObject() noexcept { ModuleLock(); }
  virtual ~ComObject() { ModuleUnlock(); }

  // Hook for interfaces not in the list (for example a base interface such as
  // IPersist). The default answers E_NOINTERFACE; an override that answers
  // must store the interface without AddRef (QueryInterface adds it).
  HRESULT QueryOtherInterface(REFIID, void**) { return E_NOINTERFACE; }

 private:
  template <class I>
  bool Match(REFIID iid, void** object) {
    if (!IsEqualIID(iid, IidOf<I>::value)) return false;
    *object = static_cast<I*>(static_cast<Derived*>(this));
    return true;
  }

  std::atomic<long> refs_{1};
};

}  // namespace kdp
