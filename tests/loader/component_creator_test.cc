// The loader against real modules loaded by the real dynamic loader.
#include "ad/component_creator.h"
#include "ad/loaded_module_map.h"

#include <gtest/gtest.h>
#include <kdtest/program.h>
#include <kdtest/temp_folder.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace keydepot::ad {
namespace {

const GUID kClass = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const GUID kInterface = IID_IUnknown;

// The test modules lie in modules/ beside this program.
std::string ModulePath(const char* name) {
  return kdtest::ProgramFolder() + KDP_PATH_SEPARATOR + "modules" + KDP_PATH_SEPARATOR + name + KDP_MODULE_SUFFIX;
}

bool IsMapped(const std::string& path) { return kdtest::IsModuleLoaded(path); }

// The module map's key for a path.
std::string Lowered(std::string path) {
  for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return path;
}

// Creates a creator held by a RefHolder, as the session and filter cores do.
std::unique_ptr<detail::CComponentCreator> Create(const std::string& path, IUnknown** object) {
  return std::unique_ptr<detail::CComponentCreator>(
      new detail::CComponentCreator(path.c_str(), kClass, kInterface, reinterpret_cast<void**>(object)));
}

long CreateFails(const std::string& path) {
  IUnknown* object = nullptr;
  try {
    detail::CComponentCreator creator(path.c_str(), kClass, kInterface, reinterpret_cast<void**>(&object));
  } catch (long code) {
    EXPECT_EQ(object, nullptr);
    return code;
  }
  ADD_FAILURE() << "no exception for " << path;
  return 0;
}

TEST(ComponentCreator, LoadsOnceAndUnloadsWhenTheComponentAgrees) {
  const std::string path = ModulePath("ok");
  ASSERT_FALSE(IsMapped(path));
  IUnknown* object = nullptr;
  {
    auto creator = Create(path, &object);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(IsMapped(path));
    EXPECT_EQ(detail::LoadedModuleMap()[Lowered(path)], true);

    // A second creator finds the module loaded and does not load it again.
    IUnknown* second = nullptr;
    auto other = Create(path, &second);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(other->Module(), creator->Module());
    second->Release();
    // The caller owns the object's one reference; the creator never releases it.
    EXPECT_EQ(object->Release(), 0u);
  }
  EXPECT_FALSE(IsMapped(path));
  EXPECT_EQ(detail::LoadedModuleMap()[Lowered(path)], false);
}

// The creators of a module keep it loaded together: whichever ends first,
// the module stays mapped while another lives, the library's own load freed
// or not, and goes with the last.
TEST(ComponentCreator, ModuleStaysLoadedUntilItsLastCreatorEnds) {
  const std::string path = ModulePath("ok");
  for (const bool loaderEndsFirst : {true, false}) {
    SCOPED_TRACE(loaderEndsFirst ? "the creator that loaded it ends first" : "the later creator ends first");
    IUnknown* object = nullptr;
    auto loader = Create(path, &object);
    object->Release();
    auto later = Create(path, &object);
    object->Release();
    auto& first = loaderEndsFirst ? loader : later;
    auto& last = loaderEndsFirst ? later : loader;
    first.reset();
    EXPECT_TRUE(IsMapped(path));
    IUnknown* third = nullptr;
    auto another = Create(path, &third);  // joins the live one
    ASSERT_NE(third, nullptr);
    third->Release();
    another.reset();
    EXPECT_TRUE(IsMapped(path));
    last.reset();
    EXPECT_FALSE(IsMapped(path));
    EXPECT_EQ(detail::LoadedModuleMap()[Lowered(path)], false);
  }
}

TEST(ComponentCreator, ModuleWithLiveObjectsStaysLoaded) {
  const std::string path = ModulePath("ok");
  IUnknown* object = nullptr;
  Create(path, &object);  // creator destroyed at once, object still alive
  ASSERT_NE(object, nullptr);
  EXPECT_TRUE(IsMapped(path));
  EXPECT_EQ(detail::LoadedModuleMap()[Lowered(path)], true);
  EXPECT_EQ(GetLastError(), 0u);
  object->Release();
}

// Modules that do not agree to be unloaded stay mapped; one that cannot be
// asked is marked freed all the same, with its failed lookup's error left.
TEST(ComponentCreator, ModulesThatDoNotAgreeStayLoaded) {
  const struct {
    const char* name;
    bool markedLoaded;
    bool errorLeft;
  } cases[] = {{"can_unload_now_false", true, false},
               {"dll_can_unload_now_false", true, false},
               {"no_can_unload_now", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = ModulePath(c.name);
    IUnknown* object = nullptr;
    {
      auto creator = Create(path, &object);
      object->Release();
      SetLastError(c.errorLeft ? 0 : 1234);  // cleared, or set by the creator
    }
    EXPECT_TRUE(IsMapped(path));
    EXPECT_EQ(detail::LoadedModuleMap()[Lowered(path)], c.markedLoaded);
    EXPECT_EQ(GetLastError() != 0, c.errorLeft);
  }
}

TEST(ComponentCreator, ModuleLoadedByOthersIsNeverFreed) {
  const std::string path = ModulePath("ok");
  HMODULE own = LoadLibraryExA(path.c_str(), nullptr, 0);
  ASSERT_NE(own, nullptr);
  IUnknown* object = nullptr;
  {
    auto creator = Create(path, &object);
    object->Release();
  }
  // Had the creator freed it, the only load reference (ours) would be gone.
  FreeLibrary(own);
  EXPECT_FALSE(IsMapped(path));
  EXPECT_EQ(detail::LoadedModuleMap()[Lowered(path)], false);
}

TEST(ComponentCreator, FailingGetClassObjectThrowsItsCodeAndFreesTheModule) {
  // The second module hands back an object with its failure; it is released
  // before the module that holds its code is freed.
  for (const char* name : {"get_class_object_fails", "get_class_object_fails_with_object"}) {
    const std::string path = ModulePath(name);
    EXPECT_EQ(CreateFails(path), static_cast<long>(E_NOINTERFACE)) << name;
    EXPECT_FALSE(IsMapped(path)) << name;
    // The entry written when the module was loaded is left as it was.
    EXPECT_EQ(detail::LoadedModuleMap()[Lowered(path)], true) << name;
  }
}

TEST(ComponentCreator, SuccessWithoutObjectLeavesAnEmptyCreator) {
  const std::string path = ModulePath("get_class_object_empty");
  IUnknown* object = nullptr;
  detail::CComponentCreator creator(path.c_str(), kClass, kInterface, reinterpret_cast<void**>(&object));
  EXPECT_TRUE(creator.IsEmpty());
  EXPECT_EQ(object, nullptr);
  EXPECT_FALSE(IsMapped(path));
}

TEST(ComponentCreator, RefusesMissingExportsModulesAndLongPaths) {
  EXPECT_EQ(CreateFails(ModulePath("no_get_class_object")),
            static_cast<long>(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)));
  EXPECT_FALSE(IsMapped(ModulePath("no_get_class_object")));

  EXPECT_EQ(CreateFails(ModulePath("does_not_exist")), static_cast<long>(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)));

  const long tooLong = static_cast<long>(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
  // 259 characters fit the buffer: that path is merely missing. (An
  // absolute path: Windows loads the component by nothing else.)
  const std::string folder = kdtest::ProgramFolder() + KDP_PATH_SEPARATOR;
  ASSERT_LT(folder.size(), 100u);
  EXPECT_EQ(CreateFails(folder + std::string(259 - folder.size(), 'a')),
            static_cast<long>(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)));
  EXPECT_EQ(CreateFails(folder + std::string(260 - folder.size(), 'a')), tooLong);  // 260 do not
  EXPECT_EQ(CreateFails(folder + std::string(5000, 'a')), tooLong);
}

TEST(ComponentCreator, KeysTheMapLowerCasedAndLoadsTheFileAsSpelt) {
  // <tmp>\Case\Comp is the component. Where names differ in letter case
  // (Linux), <tmp>\case\comp, in a folder whose name differs only in case,
  // is a decoy that fails; where they do not (Windows), it is the same file.
  namespace fs = std::filesystem;
  const kdtest::TempFolder temp;
  const std::string real = temp / ("Case" + std::string(1, KDP_PATH_SEPARATOR) + "Comp" KDP_MODULE_SUFFIX);
  const std::string lower = temp / ("case" + std::string(1, KDP_PATH_SEPARATOR) + "comp" KDP_MODULE_SUFFIX);
  fs::create_directories(temp / "Case");
  fs::create_directories(temp / "case");
  const bool caseSensitive = !fs::equivalent(temp / "Case", temp / "case");
  fs::copy_file(ModulePath("ok"), real);
  if (caseSensitive) fs::copy_file(ModulePath("get_class_object_fails"), lower);

  IUnknown* object = nullptr;
  {
    auto creator = Create(real, &object);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(creator->ModuleName(), Lowered(real));
    EXPECT_EQ(detail::LoadedModuleMap().count(Lowered(real)), 1u);
    EXPECT_EQ(detail::LoadedModuleMap().count(real), 0u);
    EXPECT_EQ(IsMapped(lower), !caseSensitive);
    object->Release();
  }
  EXPECT_FALSE(IsMapped(real));

  // Without the component the decoy is still never taken.
  fs::remove(real);
  EXPECT_EQ(CreateFails(real), static_cast<long>(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)));
  EXPECT_FALSE(IsMapped(lower));
}

// A later creator finds a module its live peers hold by the path they gave,
// without asking the loader; a relative path names another file once the
// current folder changes, so it is looked up again.
TEST(ComponentCreator, ARelativePathNamesWhatTheCurrentFolderHolds) {
  namespace fs = std::filesystem;
  const kdtest::TempFolder first;
  const kdtest::TempFolder second;
  const std::string relative = "sub" + std::string(1, KDP_PATH_SEPARATOR) + "comp" KDP_MODULE_SUFFIX;
  for (const kdtest::TempFolder* folder : {&first, &second}) {
    fs::create_directories(*folder / "sub");
    fs::copy_file(ModulePath("ok"), *folder / relative);
  }
  const fs::path before = fs::current_path();
  fs::current_path(first.path());
  IUnknown* object = nullptr;
  std::unique_ptr<detail::CComponentCreator> creator;
  try {
    creator = Create(relative, &object);
  } catch (long) {
    fs::current_path(before);
    GTEST_SKIP() << "this system loads modules by absolute paths only";
  }
  fs::current_path(second.path());
  IUnknown* other = nullptr;
  auto secondCreator = Create(relative, &other);
  fs::current_path(before);
  EXPECT_NE(secondCreator->Module(), creator->Module());
  EXPECT_TRUE(IsMapped(second / relative));
  other->Release();
  object->Release();
}

}  // namespace
}  // namespace keydepot::ad
