// The PKCS#11 module list's paths on every system: only absolute paths name
// a module. The configuration file's lines go through the same check.
#include "pkcs11/module_list.h"

#include "kdtest/environment.h"
#include "kdtest/temp_folder.h"

#include <gtest/gtest.h>

namespace nodyx::pkcs11 {
namespace {

std::vector<std::string> Refusals(const ModuleList& list) {
  std::vector<std::string> refused;
  for (const ListedModule& module : list.modules) refused.push_back(module.path + ": " + module.refused);
  return refused;
}

TEST(ModuleList, OnlyAbsolutePathsNameModules) {
  const kdtest::TempFolder folder;
  const std::string absolute = folder / "module.so";
  const std::string separator(1, kModuleListSeparator);
  const kdtest::ScopedEnv variable("NODYX_PKCS11_MODULES",
                                   "module.so" + separator + " sub/module.so " + separator + separator + absolute);
  const ModuleList list = ReadModuleList();
  EXPECT_EQ(list.origin, "NODYX_PKCS11_MODULES");
  EXPECT_EQ(Refusals(list), (std::vector<std::string>{"module.so: not an absolute path",
                                                      "sub/module.so: not an absolute path", absolute + ": "}));
}

}  // namespace
}  // namespace nodyx::pkcs11
