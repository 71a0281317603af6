#include "path_test_support.h"

#include <kdplatform/native_path.h>

namespace keydepot {
namespace {

class MakeFullPathTest : public testing::PathTest {
 protected:
  static std::string Common(const std::string& tail) {
    return Join(ShellFolder(CSIDL_COMMON_APPDATA), {"Maltrove", "Containers", tail.c_str()});
  }
  static std::string Make(const char* name, const char* container = "", const char* subName = "") {
    CTOOString out = "unchanged";
    const bool ok = MakeFullPath(out, name, container, subName);
    return ok ? std::string(out.c_str()) : "false:" + std::string(out.c_str());
  }
};

TEST_F(MakeFullPathTest, NamesWithoutAFolderGoToTheContainersFolder) {
  CTOOString out;
  ASSERT_TRUE(MakeFullPath2(out, "", true));
  EXPECT_EQ(std::string(out), Common("sgn_cont"));
  ASSERT_TRUE(MakeFullPath2(out, "", false));
  EXPECT_EQ(std::string(out), Join(ShellFolder(CSIDL_LOCAL_APPDATA), {"Maltrove", "Containers", "sgn_cont"}));
  ASSERT_TRUE(MakeFullPath2(out, "k1", true));
  EXPECT_EQ(std::string(out), Common("k1"));

  EXPECT_EQ(Make("k1", "c1"), Common("c1"));
  EXPECT_EQ(Make("", "", "s"), Common("sgn_cont:.s"));
  EXPECT_EQ(Make("C:k1"), Common("C:k1"));  // a drive without a separator is a bare name
}

TEST_F(MakeFullPathTest, FoldersFilesAndRemovableDrives) {
  const std::string keys = c_ + "\\Keys";
  const std::string k1 = keys + "\\k1.key";
  EXPECT_EQ(Make(keys.c_str()), keys + KDP_PATH_SEPARATOR + "sgn_cont");
  EXPECT_EQ(Make((keys + "\\").c_str()), keys + "\\sgn_cont");
  EXPECT_EQ(Make(k1.c_str()), k1);  // whether or not it exists
  Touch(drives_ / "c" / "Keys" / "k1.key");
  EXPECT_EQ(Make(k1.c_str()), k1);
  EXPECT_EQ(Make(k1.c_str(), "other"), keys + "\\other");
  EXPECT_EQ(Make((keys + "\\cont:.s").c_str()), keys + "\\cont:.s");
  EXPECT_EQ(Make("E:\\any\\dir\\k1"), Join("E:", {"Maltrove", "Containers", "k1"}));
  EXPECT_EQ(Make("/srv/keys/k1"), "/srv/keys/k1");

  // The part before ":." has no folder: its existence is asked of the folder
  // of that name in the root, not of the file of that name in the current
  // folder.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dataFolder_);
  std::string root;  // "\\" as the library's file calls read it
  ASSERT_TRUE(kdp::ToNativePath("\\", &root));
  std::string rootFolder;
  for (const auto& entry : std::filesystem::directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory() && !entry.is_symlink() && name.find_first_of(":. ") == std::string::npos) {
      rootFolder = name;
      break;
    }
  }
  ASSERT_FALSE(rootFolder.empty());
  Touch(dataFolder_ / rootFolder);
  EXPECT_EQ(Make((rootFolder + ":./k").c_str()), rootFolder + ":./k" + KDP_PATH_SEPARATOR + "sgn_cont");
  std::filesystem::current_path(before);
}

TEST_F(MakeFullPathTest, DeviceDesignationsBecomeDevicePaths) {
  tc().AddDevice({.type = 100, .id = {0x0A, 0x1B}, .systemName = "Reader 1"});
  tc().AddDevice({.type = 200, .id = {0x0C}, .systemName = "Reader 2"});

  EXPECT_EQ(Make("5|100\\17|0A1B\\8|x", "c1"), "1|2\\5|100\\17|0A1B\\8|c1");
  EXPECT_EQ(Make("5|100\\17|0A1B\\8|x"), "1|2\\5|100\\17|0A1B\\8|x");
  EXPECT_EQ(Make("\\\\!\\"), "1|2\\5|100\\17|0A1B\\8|sgn_cont");
  EXPECT_EQ(Make("\\\\.\\"), "1|2\\5|100\\17|0A1B\\8|sgn_cont");
  EXPECT_EQ(Make("\\\\!\\crypto\\\\k"), "1|2\\5|200\\17|0C\\8|k");
  EXPECT_EQ(Make("\\\\!\\Token\\0a1b\\k", "", "s"), "1|2\\5|100\\17|0A1B\\8|k:.s");
  EXPECT_EQ(Make("\\\\.\\reader 2\\   "), "1|2\\5|200\\17|0C\\8|   ");
  EXPECT_EQ(tc().CallCount("DeviceMgr.Initialize"), tc().CallCount("DeviceMgr.Uninitialize"));
}

TEST_F(MakeFullPathTest, DeviceFailuresSetBothLastErrors) {
  tc().AddDevice({.type = 100, .id = {0x0A, 0x1B}});
  tc().AddDevice({.type = 100, .id = {0x0C}});

  EXPECT_EQ(Make("\\\\!\\Nothing\\\\k"), "false:unchanged");
  EXPECT_EQ(GetLastError(), 123u);
  EXPECT_EQ(KDPGetLastError(), WinErr2ToolsErr(123));

  // A device that cannot be examined is abandoned: 0x0301 when nothing matched.
  tc().Force({.call = "DeviceType.GetTypeName", .result = E_FAIL, .device = 0});
  EXPECT_EQ(Make("\\\\!\\Nothing\\\\k"), "false:unchanged");
  EXPECT_EQ(GetLastError(), 0x0301u);
  EXPECT_EQ(KDPGetLastError(), WinErr2ToolsErr(0x0301));
  // A later match still succeeds.
  EXPECT_EQ(Make("\\\\!\\Token\\0C\\k"), "1|2\\5|100\\17|0C\\8|k");

  tc().ClearFaults();
  EXPECT_EQ(Make("5|100"), "false:unchanged");
  EXPECT_EQ(GetLastError(), 0x8000FFFFu);
  EXPECT_EQ(KDPGetLastError(), WinErr2ToolsErr(0x8000FFFFu));

  tc().Force("DeviceMgr.Initialize", E_ACCESSDENIED);
  EXPECT_EQ(Make("\\\\!\\Token"), "false:unchanged");
  EXPECT_EQ(GetLastError(), 0x0005u);
}

}  // namespace
}  // namespace keydepot
