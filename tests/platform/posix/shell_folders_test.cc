// Application-data folders chosen by the environment.
#include "kdplatform/win32.h"

#include <kdtest/environment.h>
#include <kdtest/temp_folder.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using kdtest::ScopedEnv;
using TempDir = kdtest::TempFolder;

std::string FolderPath(int folder) {
  char path[MAX_PATH] = "junk";
  const HRESULT hr = SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
  return SUCCEEDED(hr) ? std::string(path) : "failed";
}

TEST(ShellFolders, CommonAppData) {
  ScopedEnv env("KEYDEPOT_COMMON_APPDATA", "/srv/common");
  EXPECT_EQ(FolderPath(CSIDL_COMMON_APPDATA), "/srv/common");
  ScopedEnv empty("KEYDEPOT_COMMON_APPDATA", "");
  EXPECT_EQ(FolderPath(CSIDL_COMMON_APPDATA), "/var/lib");
}

TEST(ShellFolders, LocalAppDataFallsBackInOrder) {
  ScopedEnv local("KEYDEPOT_LOCAL_APPDATA", "/l");
  ScopedEnv xdg("XDG_DATA_HOME", "/x");
  ScopedEnv home("HOME", "/h");
  EXPECT_EQ(FolderPath(CSIDL_LOCAL_APPDATA), "/l");
  {
    ScopedEnv unset("KEYDEPOT_LOCAL_APPDATA", std::nullopt);
    EXPECT_EQ(FolderPath(CSIDL_LOCAL_APPDATA), "/x");
    ScopedEnv noXdg("XDG_DATA_HOME", "");
    EXPECT_EQ(FolderPath(CSIDL_LOCAL_APPDATA), "/h/.local/share");
    ScopedEnv noHome("HOME", std::nullopt);
    const std::string fromPasswd = FolderPath(CSIDL_LOCAL_APPDATA);
    EXPECT_NE(fromPasswd, "failed");
    EXPECT_TRUE(fromPasswd.ends_with("/.local/share"));
  }
}

TEST(ShellFolders, CreatesNestedFolderWhenAsked) {
  TempDir tmp;
  const std::string target = tmp.path() + "/a/b/c";
  ScopedEnv env("KEYDEPOT_LOCAL_APPDATA", target);
  char path[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE));
  EXPECT_FALSE(std::filesystem::exists(target));
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_LOCAL_APPDATA, TRUE));
  EXPECT_EQ(path, target);
  EXPECT_TRUE(std::filesystem::is_directory(target));
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
}

TEST(ShellFolders, TheCommonFolderIsMadeClosedToOthersWhateverTheUmask) {
  TempDir tmp;
  const std::string common = tmp.path() + "/a/common";
  ScopedEnv env("KEYDEPOT_COMMON_APPDATA", common);
  char path[MAX_PATH];
  const mode_t saved = ::umask(0);
  const BOOL made = SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, TRUE);
  ::umask(saved);
  ASSERT_TRUE(made);
  for (const std::string& folder : {tmp.path() + "/a", common}) {
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u) << folder;
  }
}

TEST(ShellFolders, TooLongFolderFailsWithoutOverrun) {
  ScopedEnv env("KEYDEPOT_COMMON_APPDATA", "/" + std::string(MAX_PATH - 1, 'x'));  // 260 bytes + NUL
  std::vector<char> path(MAX_PATH, 'j');
  EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path.data()),
            HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path.data(), CSIDL_COMMON_APPDATA, TRUE));

  ScopedEnv fits("KEYDEPOT_COMMON_APPDATA", "/" + std::string(MAX_PATH - 2, 'x'));  // 259 bytes + NUL
  EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path.data()), S_OK);
}

}  // namespace
