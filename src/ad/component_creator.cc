#include "ad/component_creator.h"

#include "ad/loaded_module_map.h"
#include "keydepot/ad/component.h"

#include <kdplatform/module_load.h>

namespace keydepot::ad {
namespace {

bool IsHeld(HMODULE module) {
  const auto entry = CreatorHeldModules().find(module);
  return entry != CreatorHeldModules().end() && entry->second.creators > 0;
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
  const HRESULT result = Create(modulePath, classId, interfaceId, object);
  if (FAILED(result)) throw static_cast<long>(result);
}

HRESULT CComponentCreator::Create(const char* modulePath, const GUID& classId, const GUID& interfaceId, void** object) {
  if (!modulePath || !object) return E_INVALIDARG;

  // The module is loaded from exactly the path given, in its own spelling; a
  // file whose path differs only in letter case is another file. Only the
  // module map's key is lower-cased, so spellings of one path share an entry.
  if (strnlen(modulePath, MAX_PATH) >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  modulePath_ = modulePath;

  std::lock_guard lock(LoadedModuleMutex());
  bool loadedHere = false;
  HRESULT result = S_OK;
  // Every creator keeps the module loaded while it lives, the one that
  // loaded it too, through the load reference the live creators hold
  // together: the library's load is freed by whichever creator the unload
  // rules pick first, and that must never unmap code that another creator's
  // holder still runs (an object's Release finishing on another thread, say).
  CreatorHolds& holds = CreatorHeldModules();
  HMODULE found = nullptr;
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, modulePath, &found) && IsHeld(found)) {
    // Held by live creators, so loaded until they end: this one joins them.
    module_ = found;
    sharesLoad_ = true;
    ++holds[found].creators;
  } else if (GetModuleHandleExA(0, modulePath, &module_)) {
    sharesLoad_ = true;
    if (++holds[module_].creators > 1) FreeLibrary(module_);  // the creators hold one already
  } else {
    module_ = nullptr;
    // The component's own dependencies come from its folder and the
    // system's, never from the current folder or PATH.
    module_ = LoadLibraryExA(modulePath, nullptr, kdp::kLoadFromOwnFolder);
    if (module_) {
      loadedHere = true;
      LoadedModuleMap()[ModuleName()] = true;
      HMODULE own = nullptr;
      sharesLoad_ = GetModuleHandleExA(0, modulePath, &own) && own == module_;
      if (own && own != module_) FreeLibrary(own);
      if (sharesLoad_ && ++holds[module_].creators > 1) FreeLibrary(module_);
    }
  }

  if (!module_) {
    result = HRESULT_FROM_WIN32(GetLastError());
  } else if (auto getClassObject = kdp::ProcAs<PFN_AD_GetClassObject>(
                 HeldExport(module_, AD_EXPORT_GET_CLASS_OBJECT, &CreatorHold::getClassObject))) {
    result = getClassObject(classId, interfaceId, reinterpret_cast<void**>(&object_));
    if (SUCCEEDED(result) && object_) {
      *object = object_;
      return result;
    }
  } else {
    result = HRESULT_FROM_WIN32(GetLastError());
  }

  // Failure: undo what this creator did; the module map entry stays as set.
  // An object handed back with the failure is released while its code is
  // still mapped.
  if (object_) object_->Release();
  if (module_ && sharesLoad_) ReleaseCreatorHold(module_);
  if (module_ && loadedHere) FreeLibrary(module_);
  sharesLoad_ = false;
  module_ = nullptr;
  object_ = nullptr;
  modulePath_.clear();
  return result;
}

HRESULT CreateComponentObject(const std::string& modulePath, const GUID& classId, const GUID& interfaceId,
                              SharedCreator& creator, void** object) {
  // A creator that failed holds nothing, so releasing it undoes nothing.
  ComPtr<CComponentCreator> made(new CComponentCreator());
  const HRESULT result = made->Create(modulePath.c_str(), classId, interfaceId, object);
  if (FAILED(result)) return result;
  CComponentCreator* shared = made.detach();  // its one reference goes to the shared_ptr
  creator = SharedCreator(shared, [](CComponentCreator* c) { c->Release(); });
  return S_OK;
}

std::string CComponentCreator::ModuleName() const {
  char lowered[MAX_PATH] = {};
  // The length was checked when the creator was made.
  strcpy_s(lowered, sizeof lowered, modulePath_.c_str());
  _mbslwr_s(reinterpret_cast<unsigned char*>(lowered), sizeof lowered);
  return lowered;
}

CComponentCreator::~CComponentCreator() {
  if (!module_) return;
  std::lock_guard lock(LoadedModuleMutex());
  ApplyUnloadRules();
  if (sharesLoad_) ReleaseCreatorHold(module_);
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

}  // namespace keydepot::ad
