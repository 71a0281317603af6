// CComponentCreator: loads a component module (or finds it loaded), obtains
// one class object through its "GetClassObject" export, and unloads the module
// again when the creator dies and the component agrees.
//
// Ownership: the object written to the constructor's out-parameter carries the
// one reference "GetClassObject" gave it, and that reference belongs to the
// caller; the creator keeps only a copy of the pointer and never releases it
// after a successful construction. Holders release the object before they
// release the creator (SharedCreator). Every creator holds a load reference of
// its own, so the module stays mapped while any creator lives, whichever
// creator the unload rules pick to give back the library's load.
//
// Threads: construction and destruction hold the module map's mutex, so
// creators may be made and destroyed on any thread. The count is plain, so a
// creator used by more than one thread is held through SharedCreator.
#pragma once

#include "keydepot/ad/ref_cnt.h"
#include "kdplatform/win32.h"

#include <memory>
#include <string>

namespace keydepot::ad {

class CComponentCreator;
// A creator shared between threads. Its own count is plain, so it holds
// exactly one reference, the shared_ptr's, taken when it is made and given
// back by whichever thread lets go of it last.
using SharedCreator = std::shared_ptr<CComponentCreator>;

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
  friend HRESULT CreateComponentObject(const std::string& modulePath, const GUID& classId, const GUID& interfaceId,
                                       SharedCreator& creator, void** object);
  CComponentCreator() = default;
  // The constructor's work: returns the failure instead of throwing it, with
  // everything this creator did undone; a non-negative result may leave it
  // empty.
  HRESULT Create(const char* modulePath, const GUID& classId, const GUID& interfaceId, void** object);
  // Frees this library's own load when the component agrees.
  void ApplyUnloadRules();

  HMODULE module_ = nullptr;
  bool sharesLoad_ = false;  // this creator is one of those holding module_ (CreatorHeldModules)
  IUnknown* object_ = nullptr;
  std::string modulePath_;  // as given; empty for an empty creator
};

// The constructor's work for code that returns its failures: on success
// creator holds the new creator and *object its object (one reference for the
// caller); on failure the code the constructor would throw is returned and
// both are left alone.
HRESULT CreateComponentObject(const std::string& modulePath, const GUID& classId, const GUID& interfaceId,
                              SharedCreator& creator, void** object);

}  // namespace keydepot::ad
