#include "path_test_support.h"

namespace keydepot {
namespace {

class MakeFullPathTest : public testing::PathTest {
 protected:
  std::string Common(const std::string& tail) const {
    return (dataFolder_ / "Maltrove" / "Containers").string() + "/" + tail;
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
  EXPECT_EQ(std::string(out), (dataFolder_ / "local" / "Maltrove" / "Containers" / "sgn_cont").string());
  ASSERT_TRUE(MakeFullPath2(out, "k1", true));
  EXPECT_EQ(std::string(out), Common("k1"));

  EXPECT_EQ(Make("k1", "c1"), Common("c1"));
  EXPECT_EQ(Make("", "", "s"), Common("sgn_cont:.s"));
  EXPECT_EQ(Make("C:k1"), Common("C:k1"));  // a drive without a separator is a bare name
}

TEST_F(MakeFullPathTest, FoldersFilesAndRemovableDrives) {
  EXPECT_EQ(Make("C:\\Keys"), "C:\\Keys/sgn_cont");
  EXPECT_EQ(Make("C:\\Keys\\"), "C:\\Keys\\sgn_cont");
  EXPECT_EQ(Make("C:\\Keys\\k1.key"), "C:\\Keys\\k1.key");  // whether or not it exists
  Touch(drives_ / "c" / "Keys" / "k1.key");
  EXPECT_EQ(Make("C:\\Keys\\k1.key"), "C:\\Keys\\k1.key");
  EXPECT_EQ(Make("C:\\Keys\\k1.key", "other"), "C:\\Keys\\other");
  EXPECT_EQ(Make("C:\\Keys\\cont:.s"), "C:\\Keys\\cont:.s");
  EXPECT_EQ(Make("E:\\any\\dir\\k1"), "E:/Maltrove/Containers/k1");
  EXPECT_EQ(Make("/srv/keys/k1"), "/srv/keys/k1");

  // The part before ":." has no folder: its existence is asked of the root's
  // tmp (a folder), not of the file tmp in the current folder.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dataFolder_);
  Touch(dataFolder_ / "tmp");
  EXPECT_EQ(Make("tmp:./k"), "tmp:./k/sgn_cont");
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
