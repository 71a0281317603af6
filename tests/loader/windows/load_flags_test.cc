// How the library loads the component on Windows: from exactly the path it
// built, the component's own dependencies from its folder and System32 only.
#include "ad/component_creator.h"

#include <gtest/gtest.h>
#include <kdtest/creation_log.h>
#include <kdtest/program.h>

#include <string>

namespace keydepot::ad {
namespace {

TEST(ComponentLoadFlags, TheComponentsDependenciesNeverComeFromTheCurrentFolderOrPath) {
  const std::string path = kdtest::ProgramFolder() + "\\modules\\ok.dll";
  const kdtest::CreationLog log;
  IUnknown* object = nullptr;
  {
    detail::CComponentCreator creator(path.c_str(), {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}},
                                      IID_IUnknown, reinterpret_cast<void**>(&object));
    ASSERT_NE(object, nullptr);
    object->Release();
  }
  const auto loads = log.Calls("LoadLibraryExA");
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].name, path);
  EXPECT_EQ(loads[0].flags, static_cast<DWORD>(LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace
}  // namespace keydepot::ad
