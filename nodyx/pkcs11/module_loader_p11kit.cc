// Module loading through p11-kit. Modules are loaded "managed": p11-kit
// gives each caller its own view of a module, so C_Initialize and
// C_Finalize here never disturb another library of the process that uses
// the same module.
#include "module_loader.h"

#include <p11-kit/p11-kit.h>

#include <cstdlib>
#include <memory>

namespace nodyx::pkcs11 {

namespace {

struct FreeText {
  void operator()(char* text) const { std::free(text); }
};
using Text = std::unique_ptr<char, FreeText>;

std::string LastMessage() {
  const char* message = p11_kit_message();
  return message != nullptr && *message != '\0' ? message : "p11-kit gave no reason";
}

}  // namespace

const char kRegisteredModulesOrigin[] = "p11-kit configuration";

std::vector<LoadedModule> LoadRegisteredModules(std::vector<SkippedModule>* skipped) {
  std::vector<LoadedModule> loaded;
  // p11-kit leaves out, with a message of its own, registered modules that
  // it cannot load; the list then holds the others.
  CK_FUNCTION_LIST** modules = p11_kit_modules_load(nullptr, 0);
  if (modules == nullptr) {
    skipped->push_back({"p11-kit registered modules", LastMessage()});
    return loaded;
  }
  for (CK_FUNCTION_LIST** module = modules; *module != nullptr; ++module) {
    const Text name(p11_kit_module_get_name(*module));
    LoadedModule entry{*module, name ? name.get() : "unnamed module"};
    if ((p11_kit_module_get_flags(*module) & P11_KIT_MODULE_TRUSTED) != 0) {
      skipped->push_back({entry.name, "trust-policy module: holds no keys"});
      p11_kit_module_release(*module);
      continue;
    }
    loaded.push_back(std::move(entry));
  }
  // Frees the array only; each module is released on its own.
  std::free(modules);
  return loaded;
}

bool LoadModuleFile(const std::string& path, LoadedModule* module, std::string* reason) {
  CK_FUNCTION_LIST* functions = p11_kit_module_load(path.c_str(), 0);
  if (functions == nullptr) {
    *reason = LastMessage();
    return false;
  }
  *module = {functions, path};
  return true;
}

void ReleaseModule(CK_FUNCTION_LIST* functions) { p11_kit_module_release(functions); }

}  // namespace nodyx::pkcs11
