// How the software token loads PKCS#11 modules on Windows: only by absolute
// path, the module's own dependencies from its folder and System32 only.
#include "pkcs11/module_loader.h"

#include <kdplatform/win32.h>

#include <gtest/gtest.h>
#include <kdtest/creation_log.h>

#include <string>

namespace nodyx::pkcs11 {
namespace {

std::string SystemFolder() {
  char folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(folder, sizeof folder);
  return std::string(folder, length);
}

TEST(ModuleLoaderWindows, LoadsOnlyAbsolutePathsAndNeverThroughTheSearchPath) {
  const kdtest::CreationLog log;
  LoadedModule module;
  std::string reason;
  for (const char* relative : {"version.dll", "modules\\p11.dll", "\\p11.dll", "C:p11.dll"}) {
    EXPECT_FALSE(LoadModuleFile(relative, &module, &reason)) << relative;
    EXPECT_EQ(reason, "not an absolute path") << relative;
  }
  EXPECT_TRUE(log.Calls("LoadLibraryExA").empty());

  // A real DLL that is no PKCS#11 module, named with either separator.
  std::string path = SystemFolder() + "\\version.dll";
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  EXPECT_FALSE(LoadModuleFile(path, &module, &reason));
  EXPECT_EQ(reason, "not a PKCS#11 module (no C_GetFunctionList)");
  const auto loads = log.Calls("LoadLibraryExA");
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].name, SystemFolder() + "\\version.dll");
  EXPECT_EQ(loads[0].flags, static_cast<DWORD>(LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace
}  // namespace nodyx::pkcs11
