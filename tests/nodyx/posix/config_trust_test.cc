// The shared configuration files every process of the machine obeys, planted
// the way another local user would plant them: the device-type filter file
// and the PKCS#11 module list are read only when no other user could have
// written them, and a module file others may change is never loaded.
#include "pkcs11/module_list.h"
#include "kdplatform/win32.h"
#include "type_filter.h"

#include "kdtest/environment.h"
#include "kdtest/other_user.h"
#include "kdtest/temp_folder.h"
#include "kdtest/trust_probe.h"

#include "kdplatform/file_io.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace nodyx {
namespace {

namespace fs = std::filesystem;

constexpr char kDisables100[] = R"(<deviceTypeFilter><deviceType number="100" enabled="false"/></deviceTypeFilter>)";
constexpr HRESULT kNoFile = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Root's folder, which the other user may enter but not change, whatever the
// umask it was made under.
class SharedConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << "needs root, to plant files as another user";
    if (!kdtest::TrustCheckInForce()) GTEST_SKIP() << "kdp::CheckTrusted refuses nothing yet";
    fs::permissions(folder_.path(), static_cast<fs::perms>(0755));
  }

  // A folder made under umask 0: every user may add files to it.
  std::string OpenFolder(const std::string& name) {
    const std::string path = folder_ / name;
    fs::create_directory(path);
    fs::permissions(path, fs::perms::all);
    return path;
  }

  kdtest::TempFolder folder_;
};

TEST_F(SharedConfigTest, FilterFileAnotherUserCouldHaveWrittenIsNoFilter) {
  const std::string mine = folder_ / "mine.xml";
  Write(mine, kDisables100);
  TypeFilter filter;
  ASSERT_EQ(LoadTypeFilter(mine, &filter), S_OK);
  EXPECT_FALSE(filter.IsEnabled(100));

  const std::string owned = folder_ / "owned.xml", writable = folder_ / "writable.xml";
  Write(owned, kDisables100);
  ASSERT_TRUE(kdtest::GiveToOtherUser(owned.c_str()));
  Write(writable, kDisables100);
  fs::permissions(writable, fs::perms::others_write, fs::perm_options::add);
  const std::string open = OpenFolder("open");
  const std::string rootsInOpen = open + "/roots.xml", planted = open + "/planted.xml", deep = open + "/deep.xml";
  Write(rootsInOpen, kDisables100);
  ASSERT_TRUE(kdtest::RunAsOtherUser([&] {
    Write(planted, kDisables100);
    // The file that crashed root's tools: never even parsed now.
    std::ofstream(deep) << "<!--" << std::string(300000, '<') << "-->" << std::string(150000, '<');
  }));

  for (const std::string& path : {owned, writable, rootsInOpen, planted, deep}) {
    TypeFilter kept;
    kept.enabled[1] = false;
    EXPECT_EQ(LoadTypeFilter(path, &kept), kNoFile) << path;
    EXPECT_EQ(kept.enabled, (std::map<std::int32_t, bool>{{1, false}})) << path;
  }
}

TEST_F(SharedConfigTest, ModuleListAnotherUserCouldHaveWrittenIsIgnoredWithItsReason) {
  const kdtest::ScopedEnv appData("KEYDEPOT_COMMON_APPDATA", folder_.path());
  const kdtest::ScopedEnv variable("NODYX_PKCS11_MODULES", std::nullopt);
  const std::string shared = folder_ / "Maltrove";
  fs::create_directory(shared);
  fs::permissions(shared, static_cast<fs::perms>(0755));
  const std::string config = shared + "/nodyx-pkcs11.conf";
  ASSERT_EQ(pkcs11::ModuleConfigPath(), config);
  Write(config, "/nowhere/module.so\n");

  pkcs11::ModuleList list = pkcs11::ReadModuleList();
  EXPECT_FALSE(list.registered);
  EXPECT_EQ(list.origin, config);
  ASSERT_EQ(list.modules.size(), 1u);
  EXPECT_EQ(list.modules[0].refused, "");
  EXPECT_FALSE(list.ignored);

  // Owned by the other user; then root's, in a folder every user may change.
  ASSERT_TRUE(kdtest::GiveToOtherUser(config.c_str()));
  for (int step = 0; step < 2; ++step) {
    list = pkcs11::ReadModuleList();
    EXPECT_TRUE(list.registered) << step;
    EXPECT_TRUE(list.modules.empty()) << step;
    ASSERT_TRUE(list.ignored) << step;
    EXPECT_EQ(list.ignored->path, config);
    EXPECT_FALSE(list.ignored->reason.empty());
    ASSERT_EQ(::lchown(config.c_str(), 0, 0), 0);
    fs::permissions(shared, fs::perms::all);
  }
}

TEST_F(SharedConfigTest, ModuleFilesOthersMayChangeAreRefused) {
  const std::string good = folder_ / "good.so", writable = folder_ / "writable.so", owned = folder_ / "owned.so";
  for (const std::string& path : {good, writable, owned}) Write(path, "not loaded here");
  fs::permissions(writable, fs::perms::others_write, fs::perm_options::add);
  ASSERT_TRUE(kdtest::GiveToOtherUser(owned.c_str()));
  const std::string inOpen = OpenFolder("open") + "/module.so";
  Write(inOpen, "not loaded here");

  const kdtest::ScopedEnv variable("NODYX_PKCS11_MODULES", good + ":" + writable + ":" + owned + ":" + inOpen);
  const pkcs11::ModuleList list = pkcs11::ReadModuleList();
  ASSERT_EQ(list.modules.size(), 4u);
  EXPECT_EQ(list.modules[0].refused, "");
  for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(list.modules[i].refused.rfind("not trusted: ", 0), 0u) << i;
}

// Readable by every process that opens a filter, written by its owner only,
// whatever the umask of the process that saved it.
TEST(SavedFilterFile, EveryUserMayReadItAndOnlyItsOwnerWrite) {
  const kdtest::TempFolder folder;
  {
    const mode_t old = ::umask(0);
    kdp::ReplaceFileAtomically(folder / "probe", "x", 1, kdp::Access::kPublicRead);
    ::umask(old);
    if (ModeOf(folder / "probe") == 0666) GTEST_SKIP() << "kdp::Access::kPublicRead still follows the umask";
  }
  for (const mode_t mask : {0000, 0077, 0022}) {
    const mode_t old = ::umask(mask);
    const HRESULT hr = SaveTypeFilter(folder / "filter.xml", TypeFilter{});
    ::umask(old);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(ModeOf(folder / "filter.xml"), 0644u) << "umask " << mask;
  }
}

}  // namespace
}  // namespace nodyx
