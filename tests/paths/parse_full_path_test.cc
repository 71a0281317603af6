#include "path_test_support.h"

namespace keydepot {
namespace {

struct Parts {
  bool result = false;
  bool isDevice = false;
  std::string location, container, subName;
};

Parts Split(const char* path) {
  Parts p;
  CTOOString location = "junk", container = "junk", subName = "junk";
  p.result = ParseFullPath(path, &p.isDevice, &location, &container, &subName);
  p.location = location.c_str();
  p.container = container.c_str();
  p.subName = subName.c_str();
  return p;
}

class ParseFullPathTest : public testing::PathTest {};

TEST_F(ParseFullPathTest, FileSystemForms) {
  Parts p = Split("");
  EXPECT_TRUE(p.result);
  EXPECT_FALSE(p.isDevice);
  EXPECT_EQ(p.location + p.container + p.subName, "");

  const std::string keys = c_ + "\\Keys";
  p = Split((keys + "\\cont.dat").c_str());  // Keys exists, cont.dat does not
  EXPECT_EQ(p.location, keys + "\\");
  EXPECT_EQ(p.container, "cont.dat");
  Touch(drives_ / "c" / "Keys" / "cont.dat");
  EXPECT_EQ(Split((keys + "\\cont.dat").c_str()).container, "cont.dat");  // an existing file splits the same way

  p = Split(keys.c_str());
  EXPECT_EQ(p.location, keys);
  EXPECT_EQ(p.container, "");

  p = Split((keys + "\\cont:.sig").c_str());
  EXPECT_EQ(p.location, keys + "\\");
  EXPECT_EQ(p.container, "cont");
  EXPECT_EQ(p.subName, "sig");
  // The directory test is made on the path without its sub-name.
  std::filesystem::create_directories(drives_ / "c" / "Keys" / "cont");
  p = Split((keys + "\\cont:.sig").c_str());
  EXPECT_EQ(p.location, keys + "\\cont");
  EXPECT_EQ(p.container, "");
  EXPECT_EQ(p.subName, "sig");

  EXPECT_EQ(Split("cont").container, "cont");
  EXPECT_EQ(Split("cont").location, "");
  p = Split("D:cont");  // splits as usual, whether or not the drive exists
  EXPECT_EQ(p.location, "D:");
  EXPECT_EQ(p.container, "cont");
  p = Split("/srv/a.b/file.tar.gz");
  EXPECT_EQ(p.location, "/srv/a.b/");
  EXPECT_EQ(p.container, "file.tar.gz");
}

TEST_F(ParseFullPathTest, LongNamesAreSplitWithoutLimits) {
  const std::string dir(400, 'd');
  const std::string name(300, 'n');
  const std::string ext = "." + std::string(300, 'e');
  const Parts p = Split(("C:\\" + dir + "\\" + name + ext).c_str());
  EXPECT_TRUE(p.result);
  EXPECT_EQ(p.location, "C:\\" + dir + "\\");
  EXPECT_EQ(p.container, name + ext);
}

TEST_F(ParseFullPathTest, PrefixedDeviceForms) {
  Parts p = Split("\\\\!\\T\\D\\K");
  EXPECT_TRUE(p.isDevice);
  EXPECT_EQ(p.location, "");
  EXPECT_EQ(p.container, "K");
  EXPECT_EQ(Split("\\\\!\\T\\D\\K:.x").container, "K:.x");  // never split at ":."
  EXPECT_EQ(Split("\\\\!\\T\\D\\K:.x").subName, "");
  EXPECT_EQ(Split("\\\\!\\T\\\\K").container, "K");
  EXPECT_EQ(Split("\\\\!\\T\\D").container, "");
  EXPECT_EQ(Split("\\\\!\\T").container, "");
  EXPECT_EQ(Split("\\\\!\\T\\D\\K\\X").container, "K\\X");
  EXPECT_EQ(Split("\\\\!\\T|x\\D\\K").container, "K");  // a prefix wins over '|'

  EXPECT_EQ(Split("\\\\.\\Reader\\   ").container, "");
  EXPECT_EQ(Split("\\\\.\\Reader\\ x").container, " x");
  EXPECT_EQ(Split("\\\\.\\Reader").container, "");
}

TEST_F(ParseFullPathTest, DevicePaths) {
  Parts p = Split("8|abc:.sub\\5|100\\17|0A1B");
  EXPECT_TRUE(p.result);
  EXPECT_TRUE(p.isDevice);
  EXPECT_EQ(p.location, "1|2\\5|100\\17|0A1B\\8|");
  EXPECT_EQ(p.container, "abc");
  EXPECT_EQ(p.subName, "sub");

  SetLastError(0);
  p = Split("5|100");
  EXPECT_FALSE(p.result);
  EXPECT_TRUE(p.isDevice);
  EXPECT_EQ(p.location + p.container + p.subName, "");
  EXPECT_EQ(GetLastError(), 0xFFFFu);
  EXPECT_EQ(KDPGetLastError(), WinErr2ToolsErr(0xFFFF));

  // The container survives a failed rebuild; its sub-name is still cut.
  tc().Force("DeviceType.IdToText", E_INVALIDARG);
  p = Split("5|100\\17|0A1B\\8|c:.s");
  EXPECT_FALSE(p.result);
  EXPECT_EQ(p.location, "");
  EXPECT_EQ(p.container, "c");
  EXPECT_EQ(p.subName, "s");
  EXPECT_EQ(GetLastError(), 0x57u);

  tc().ClearFaults();
  EXPECT_TRUE(ParseFullPath("5|100\\17|0A1B", nullptr, nullptr, nullptr, nullptr));
}

}  // namespace
}  // namespace keydepot
