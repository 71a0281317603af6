#include "ad/component_creator.h"

#include "ad/loaded_module_map.h"
#include "keydepot/ad/component.h"
#include "kdplatform/return_if_failed.h"

#include <kdplatform/module_handle.h>
#include <kdplatform/module_load.h>

#include <kdplatform/path_names.h>

#include <cstring>
#include <utility>

namespace keydepot::detail {

namespace {

bool IsHeld(HMODULE module) {
  const auto entry = CreatorHeldModules().find(module);
  return entry != CreatorHeldModules().end() && entry->second.creators > 0;
}

// The module live creators hold that was found by exactly `modulePath`, an
// absolute path: while they hold it, that path still names it, so the loader
// need not be asked. Null when none. Under LoadedModuleMutex().
HMODULE HeldByPath(const char* modulePath) {
  if (!kdp::IsAbsolutePath(modulePath)) return nullptr;  // relative: depends on the current folder
  for (const auto& [module, hold] : CreatorHeldModules()) {
    if (hold.creators > 0 && std::strcmp(hold.path, modulePath) == 0) return module;
  }
  return nullptr;
}

// Drops one creator from those holding `module`; the last gives the
// creators' load reference back. Under LoadedModuleMutex().
void ReleaseCreatorHold(HMODULE module) {
  CreatorHolds& holds = CreatorHeldModules();
  const auto entry = holds.find(module);
  if (entry != holds.end()) {
    if (--entry->second.creators > 0) return;
    // Kept for the next creator, so that a module used without a session
    // costs no allocation per use; its exports go with the hold.
    entry->second = CreatorHold{};
  }
  FreeLibrary(module);
}

// An export of `module`, found once while the creators hold it. A failed
// lookup is made again each time, with the last error it sets.
FARPROC HeldExport(HMODULE module, const char* name, FARPROC CreatorHold::*known) {
  CreatorHolds& holds = CreatorHeldModules();
  const auto entry = holds.find(module);
  if (entry == holds.end() || entry->second.creators == 0) return GetProcAddress(module, name);
  FARPROC& found = entry->second.*known;
  if (!found) found = GetProcAddress(module, name);
  return found;
}

}  // namespace

CComponentCreator::CComponentCreator(const char* modulePath, const GUID& classId, const GUID& interfaceId,
                                     void** object) {
  modulePath_[0] = '\0';
  const HRESULT result = Create(modulePath, classId, interfaceId, object);
  if (FAILED(result)) throw static_cast<long>(result);
}

HRESULT CComponentCreator::Create(const char* modulePath, const GUID& classId, const GUID& interfaceId, void** object) {
  if (!modulePath || !object) return E_INVALIDARG;

  // The module is loaded from exactly the path given, in its own spelling; a
  // file whose path differs only in letter case is another file. Only the
  // module map's key is lower-cased, so spellings of one path share an entry.
  const size_t length = strnlen(modulePath, MAX_PATH);
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  std::memcpy(modulePath_, modulePath, length + 1);

  std::lock_guard lock(LoadedModuleMutex());
  // Every creator keeps the module loaded while it lives, the one that
  // loaded it too, through the load reference the live creators hold
  // together: the library's load is freed by whichever creator the unload
  // rules pick first, and that must never unmap code that another creator's
  // holder still runs (an object's Release finishing on another thread, say).
  // A module already held stays mapped while this creator works: the others
  // end only under the same lock. The loads made here are declared before the
  // object, so that an object handed back with a failure is released while
  // its code is still mapped.
  kdp::ModuleHandle ownLoad;      // this creator's load; becomes the creators' shared one
  kdp::ModuleHandle libraryLoad;  // made here: the module map's once this succeeds
  HMODULE module = nullptr;
  if ((module = HeldByPath(modulePath)) != nullptr ||
      (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, modulePath, &module) && IsHeld(module))) {
    // Held by live creators: this one joins them once it succeeds.
  } else if (GetModuleHandleExA(0, modulePath, &module)) {
    ownLoad.reset(module);
  } else {
    // The component's own dependencies come from its folder and the
    // system's, never from the current folder or PATH.
    module = LoadLibraryExA(modulePath, nullptr, kdp::kLoadFromOwnFolder);
    if (module) {
      libraryLoad.reset(module);
      LoadedModuleMap()[ModuleName()] = true;
      HMODULE own = nullptr;
      if (GetModuleHandleExA(0, modulePath, &own)) ownLoad.reset(own);
      if (own != module) ownLoad.reset();
    }
  }
  if (!module) {
    modulePath_[0] = '\0';
    return HRESULT_FROM_WIN32(GetLastError());
  }
  if (!IsHeld(module) && !ownLoad) {
    // No load of its own to give the creators' hold: nothing would keep the
    // module mapped for them.
    modulePath_[0] = '\0';
    return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  }

  ComPtr<IUnknown> made;
  auto getClassObject =
      kdp::ProcAs<PFN_AD_GetClassObject>(HeldExport(module, AD_EXPORT_GET_CLASS_OBJECT, &CreatorHold::getClassObject));
  const HRESULT result = getClassObject ? getClassObject(classId, interfaceId, reinterpret_cast<void**>(made.put()))
                                        : HRESULT_FROM_WIN32(GetLastError());
  if (FAILED(result) || !made) {
    // Everything this creator did is undone by its holders; the module map
    // entry stays as set.
    modulePath_[0] = '\0';
    return result;
  }
  libraryLoad.release();  // the module map's now, freed by the unload rules
  // The first creator's load becomes the one the creators hold together; a
  // later one's own load is not needed.
  CreatorHold& hold = CreatorHeldModules()[module];
  if (++hold.creators == 1) {
    ownLoad.release();
    std::memcpy(hold.path, modulePath, length + 1);
  }
  module_ = module;
  *object = made.detach();
  return result;
}

HRESULT CreateComponentObject(const char* modulePath, const GUID& classId, const GUID& interfaceId,
                              SharedCreator& creator, void** object) {
  // A creator that failed holds nothing, so destroying it undoes nothing.
  SharedCreator made = std::make_shared<CComponentCreator>();
  KD_RETURN_IF_FAILED(made->Create(modulePath, classId, interfaceId, object));
  creator = std::move(made);
  return S_OK;
}

std::string CComponentCreator::ModuleName() const {
  char lowered[MAX_PATH] = {};
  // The length was checked when the creator was made.
  strcpy_s(lowered, sizeof lowered, modulePath_);
  _mbslwr_s(reinterpret_cast<unsigned char*>(lowered), sizeof lowered);
  return lowered;
}

CComponentCreator::~CComponentCreator() {
  if (!module_) return;
  std::lock_guard lock(LoadedModuleMutex());
  ApplyUnloadRules();
  ReleaseCreatorHold(module_);
}

void CComponentCreator::ApplyUnloadRules() {
  ModuleMap& loaded = LoadedModuleMap();

  auto canUnloadNow =
      kdp::ProcAs<PFN_AD_CanUnloadNow>(HeldExport(module_, AD_EXPORT_CAN_UNLOAD_NOW, &CreatorHold::canUnloadNow));
  if (!canUnloadNow) {
    // A component without "CanUnloadNow" is freed only when the failed lookup
    // left no error, which in practice keeps it loaded for good.
    const DWORD lookupError = GetLastError();
    auto entry = loaded.find(ModuleName());
    if (entry != loaded.end() && entry->second) {
      if (lookupError == 0) FreeLibrary(module_);
      entry->second = false;
    }
    return;
  }

  if (canUnloadNow() == S_OK) {
    auto dllCanUnloadNow = kdp::ProcAs<PFN_AD_CanUnloadNow>(
        HeldExport(module_, AD_EXPORT_DLL_CAN_UNLOAD_NOW, &CreatorHold::dllCanUnloadNow));
    if (!dllCanUnloadNow || dllCanUnloadNow() == S_OK) {
      bool& entry = loaded[ModuleName()];
      if (entry) FreeLibrary(module_);
      entry = false;
    }
  }
  SetLastError(0);
}

}  // namespace keydepot::detail
