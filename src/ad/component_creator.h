// CComponentCreator: loads a component module (or finds it loaded), obtains
// one class object through its "GetClassObject" export, and unloads the module
// again when the creator dies and the component agrees.
//
// Ownership: the object written to the constructor's out-parameter carries the
// one reference "GetClassObject" gave it, and that reference belongs to the
// caller; the creator keeps no pointer to it. Holders release the object
// before they release the creator (SharedCreator). The live creators of a
// module hold one load reference of it together (CreatorHeldModules), so the
// module stays mapped while any creator lives, whichever creator the unload
// rules pick to give back the library's load (the load the module map
// records, not any creator's).
//
// Threads: construction and destruction hold the module map's mutex, so
// creators may be made and destroyed on any thread; a creator used by more
// than one thread is held through SharedCreator.
#pragma once

#include "kdplatform/win32.h"

#include <memory>
#include <string>

namespace keydepot::detail {

class CComponentCreator;
// A creator shared between threads, destroyed by whichever thread lets go of
// it last.
using SharedCreator = std::shared_ptr<CComponentCreator>;

class CComponentCreator {
 public:
  // Throws the failure HRESULT as `long` (negative). A non-negative outcome
  // without an object (a success code with no object, or a zero last error)
  // leaves an empty creator instead. A module path of 260 characters or more
  // is refused with HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE); a null
  // path or out-parameter with E_INVALIDARG.
  CComponentCreator(const char* modulePath, const GUID& classId, const GUID& interfaceId, void** object);
  // An empty creator, to be made with Create where it is to live (a filter
  // core holds its own; shared ones come from CreateComponentObject).
  CComponentCreator() noexcept { modulePath_[0] = '\0'; }
  CComponentCreator(const CComponentCreator&) = delete;
  CComponentCreator& operator=(const CComponentCreator&) = delete;
  // Runs the unload rules; never throws.
  ~CComponentCreator();

  HMODULE Module() const noexcept { return module_; }
  bool IsEmpty() const noexcept { return module_ == nullptr; }
  // The module map's key for the module: its path, lower-cased (empty for an
  // empty creator). Made when asked for: with the component kept loaded by a
  // session, most creators never consult the map.
  std::string ModuleName() const;

  // On an empty creator, the loading constructor's work: returns the failure
  // instead of throwing it, with everything this creator did undone; a
  // non-negative result may leave it empty.
  HRESULT Create(const char* modulePath, const GUID& classId, const GUID& interfaceId, void** object);

 private:
  // Frees this library's own load when the component agrees.
  void ApplyUnloadRules();

  HMODULE module_ = nullptr;   // one of the creators holding it (CreatorHeldModules) when set
  char modulePath_[MAX_PATH];  // as given, terminated; empty for an empty creator
};

// The constructor's work for code that returns its failures: on success
// creator holds the new creator and *object its object (one reference for the
// caller); on failure the code the constructor would throw is returned and
// both are left alone.
HRESULT CreateComponentObject(const char* modulePath, const GUID& classId, const GUID& interfaceId,
                              SharedCreator& creator, void** object);

}  // namespace keydepot::detail
