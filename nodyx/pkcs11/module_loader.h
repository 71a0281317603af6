// The seam between this component and the system's way of loading PKCS#11
// modules: the only code that turns a module name into a function list.
// One implementation per platform, chosen by CMake: on Linux p11-kit loads
// every module (module_loader_p11kit.cc), so modules are shared and
// coordinated with the other p11-kit users of the process; on Windows the
// module DLLs are loaded directly (module_loader_windows.cc).
//
// A loaded module is not initialised (module.h does that). Every function
// list handed out must be given back once with ReleaseModule.
#pragma once

#include "cryptoki.h"

#include <string>
#include <vector>

namespace nodyx::pkcs11 {

// Where LoadRegisteredModules takes its modules from, for people.
extern const char kRegisteredModulesOrigin[];

struct LoadedModule {
  CK_FUNCTION_LIST* functions = nullptr;
  std::string name;  // the registered name, or the path it was loaded from
};

// A module that is not used, and why.
struct SkippedModule {
  std::string name;
  std::string reason;
};

// The modules the system's PKCS#11 configuration registers for this
// program. Modules that only carry trust policy (certificate authorities,
// no keys of their own) are released again and reported in *skipped.
std::vector<LoadedModule> LoadRegisteredModules(std::vector<SkippedModule>* skipped);

// Loads the module file at path; false with *reason when it cannot be.
bool LoadModuleFile(const std::string& path, LoadedModule* module, std::string* reason);

void ReleaseModule(CK_FUNCTION_LIST* functions);

}  // namespace nodyx::pkcs11
