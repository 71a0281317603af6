#include "ad/component_creator.h"

#include "ad/loaded_module_map.h"
#include "keydepot/ad/component.h"
#include "kdplatform/return_if_failed.h"

#include <kdplatform/module_load.h>

#include <utility>

namespace keydepot::detail {

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
  // Every creator holds a load reference of its own while it lives, the one
  // that loaded the module too: the library's load is freed by whichever
  // creator the unload rules pick first, and that must never unmap code that
  // another creator's holder still runs (an object's Release finishing on
  // another thread, say). Declared before the object, so that an object
  // handed back with a failure is released while its code is still mapped.
  kdp::ModuleHandle ownLoad;
  kdp::ModuleHandle libraryLoad;  // made here: the module map's once this succeeds
  HMODULE module = nullptr;
  if (GetModuleHandleExA(0, modulePath, &module)) {
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
    modulePath_.clear();
    return HRESULT_FROM_WIN32(GetLastError());
  }

  ComPtr<IUnknown> made;
  auto getClassObject = kdp::ProcAs<PFN_AD_GetClassObject>(GetProcAddress(module, AD_EXPORT_GET_CLASS_OBJECT));
  const HRESULT result = getClassObject ? getClassObject(classId, interfaceId, reinterpret_cast<void**>(made.put()))
                                        : HRESULT_FROM_WIN32(GetLastError());
  if (FAILED(result) || !made) {
    // Everything this creator did is undone by its holders; the module map
    // entry stays as set.
    modulePath_.clear();
    return result;
  }
  libraryLoad.release();  // the module map's now, freed by the unload rules
  module_ = module;
  ownLoad_ = std::move(ownLoad);
  *object = made.detach();
  return result;
}

HRESULT CreateComponentObject(const std::string& modulePath, const GUID& classId, const GUID& interfaceId,
                              SharedCreator& creator, void** object) {
  // A creator that failed holds nothing, so destroying it undoes nothing.
  SharedCreator made(new CComponentCreator());
  KD_RETURN_IF_FAILED(made->Create(modulePath.c_str(), classId, interfaceId, object));
  creator = std::move(made);
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
  ownLoad_.reset();
}

void CComponentCreator::ApplyUnloadRules() {
  ModuleMap& loaded = LoadedModuleMap();

  auto canUnloadNow = kdp::ProcAs<PFN_AD_CanUnloadNow>(GetProcAddress(module_, AD_EXPORT_CAN_UNLOAD_NOW));
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
    auto dllCanUnloadNow = kdp::ProcAs<PFN_AD_CanUnloadNow>(GetProcAddress(module_, AD_EXPORT_DLL_CAN_UNLOAD_NOW));
    if (!dllCanUnloadNow || dllCanUnloadNow() == S_OK) {
      bool& entry = loaded[ModuleName()];
      if (entry) FreeLibrary(module_);
      entry = false;
    }
  }
  SetLastError(0);
}

}  // namespace keydepot::detail
