// CComponentCreator: loads a component module (or finds it loaded), obtains
// one class object through its "GetClassObject" export, and unloads the module
// again when the creator dies and the component agrees.
//
// Ownership: the object written to the constructor's out-parameter carries the
// one reference "GetClassObject" gave it, and that reference belongs to the
// caller; the creator keeps only a copy of the pointer and never releases it
// after a successful construction. Holders release the object before they
// release the creator (ComPtr<CComponentCreator>).
//
// Threads: construction and destruction hold the module map's mutex, so
// creators may be made and destroyed on any thread.
#pragma once

#include "keydepot/ad/ref_cnt.h"
#include "kdplatform/win32.h"

#include <string>

namespace keydepot::ad {

class CComponentCreator : public CRefCnt {
 public:
  // Throws the failure HRESULT as `long` (negative). A non-negative outcome
  // without an object (a success code with no object, or a zero last error)
  // leaves an empty creator instead. A module path of 260 characters or more
  // is refused with HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE); a null
  // path or out-parameter with E_INVALIDARG.
  CComponentCreator(const char* modulePath, const GUID& classId, const GUID& interfaceId, void** object);
  // Runs the unload rules; never throws.
  ~CComponentCreator() override;

  HMODULE Module() const noexcept { return module_; }
  bool IsEmpty() const noexcept { return module_ == nullptr; }
  // The module map's key for the module: its path, lower-cased (empty for an
  // empty creator). Made when asked for: with the component kept loaded by a
  // session, most creators never consult the map.
  std::string ModuleName() const;

 private:
  // Frees this library's own load when the component agrees.
  void ApplyUnloadRules();

  HMODULE module_ = nullptr;
  bool sharesLoad_ = false;  // module_ holds a load reference of this creator's
  IUnknown* object_ = nullptr;
  std::string modulePath_;  // as given; empty for an empty creator
};

// The constructor's work for code that returns its failures: on success
// creator holds the new creator and *object its object (one reference for the
// caller); on failure the thrown code is returned and both are left alone.
HRESULT CreateComponentObject(const std::string& modulePath, const GUID& classId, const GUID& interfaceId,
                              ComPtr<CComponentCreator>& creator, void** object);

}  // namespace keydepot::ad
