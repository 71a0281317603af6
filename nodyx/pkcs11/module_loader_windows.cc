// Module loading on Windows: each module DLL is loaded with LoadLibraryExA
// and asked for its function list. Windows keeps no register of PKCS#11
// modules, so only the modules named by NODYX_PKCS11_MODULES or the
// configuration file are used. A module is shared with whatever else in the
// process loaded it: module.h finalises only what it initialised itself.
#include "module_loader.h"

#include "ck_result.h"

#include <windows.h>

#include <kdplatform/module_load.h>
#include <kdplatform/path_names.h>

#include <map>
#include <mutex>

namespace nodyx::pkcs11 {

namespace {

static_assert(kdp::kLoadFromOwnFolder == (LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));

// The DLL behind each function list handed out, with how many times it was
// handed out, so that ReleaseModule frees the right DLL as often as it was
// loaded.
struct Loaded {
  HMODULE dll = nullptr;
  unsigned count = 0;
};
struct Table {
  std::mutex mutex;
  std::map<CK_FUNCTION_LIST*, Loaded> modules;
};

// Made on first use and never destroyed: module sets kept until the process
// ends release nothing, and may outlive static destruction.
Table& Modules() {
  static Table* const table = new Table;
  return *table;
}

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message = length != 0 ? std::string(text, length) : std::string();
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return (message.empty() ? std::string("Windows error") : message) + " (" + std::to_string(code) + ")";
}

}  // namespace

const char kRegisteredModulesOrigin[] = "no configuration (Windows registers no PKCS#11 modules)";

std::vector<LoadedModule> LoadRegisteredModules(std::vector<SkippedModule>*) { return {}; }

bool LoadModuleFile(const std::string& path, LoadedModule* module, std::string* reason) {
  // Never through the search path: the list's reader admits only absolute
  // paths, and so does this.
  if (!kdp::IsAbsolutePath(path)) {
    *reason = "not an absolute path";
    return false;
  }
  // The module's own DLLs come from its folder and System32 only; with
  // these flags the loader takes only '\\' between names.
  std::string native = path;
  for (char& c : native) {
    if (c == '/') c = '\\';
  }
  const HMODULE dll = LoadLibraryExA(native.c_str(), nullptr, kdp::kLoadFromOwnFolder);
  if (dll == nullptr) {
    *reason = SystemMessage(GetLastError());
    return false;
  }
  const auto getFunctionList =
      reinterpret_cast<CK_C_GetFunctionList>(reinterpret_cast<void*>(GetProcAddress(dll, "C_GetFunctionList")));
  CK_FUNCTION_LIST* functions = nullptr;
  const CK_RV rv = getFunctionList != nullptr ? getFunctionList(&functions) : CKR_GENERAL_ERROR;
  if (rv != CKR_OK || functions == nullptr) {
    FreeLibrary(dll);
    *reason = getFunctionList == nullptr ? "not a PKCS#11 module (no C_GetFunctionList)"
                                         : "C_GetFunctionList failed: " + CkrText(rv);
    return false;
  }
  Table& table = Modules();
  {
    std::lock_guard lock(table.mutex);
    Loaded& loaded = table.modules[functions];
    loaded.dll = dll;
    ++loaded.count;
  }
  *module = {functions, path};
  return true;
}

void ReleaseModule(CK_FUNCTION_LIST* functions) {
  Table& table = Modules();
  HMODULE dll = nullptr;
  {
    std::lock_guard lock(table.mutex);
    const auto it = table.modules.find(functions);
    if (it == table.modules.end()) return;
    dll = it->second.dll;
    if (--it->second.count == 0) table.modules.erase(it);
  }
  FreeLibrary(dll);
}

}  // namespace nodyx::pkcs11
