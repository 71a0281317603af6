#include "path_test_support.h"

namespace keydepot {
namespace {

class PathsEqualTest : public testing::PathTest {
 protected:
  static bool Equal(const char* a, const char* b, bool subNames = false) {
    return ArePathsEqual(CTOOString(a), CTOOString(b), subNames);
  }
};

TEST_F(PathsEqualTest, DevicePathsCompareByIdentityAndContainer) {
  EXPECT_TRUE(Equal("1|2\\5|100\\17|0A1B\\8|k", "8|k\\5|100\\17|0a1b"));
  EXPECT_TRUE(Equal("1|1\\5|100\\7|2\\ab\\8|k", "5|100\\17|6162\\8|k"));
  EXPECT_FALSE(Equal("5|100\\17|0A1B\\8|k", "5|100\\17|0A1B\\8|K"));  // containers compare exactly
  EXPECT_FALSE(Equal("5|100\\17|0A1B\\8|k", "C:\\Keys\\k"));
  EXPECT_TRUE(Equal("5|100\\17|0A1B\\8|c1:.a", "5|100\\17|0A1B\\8|c1:.b"));
  EXPECT_FALSE(Equal("5|100\\17|0A1B\\8|c1:.a", "5|100\\17|0A1B\\8|c1:.b", true));
}

TEST_F(PathsEqualTest, TaggedPathsCompareOnlyWithTaggedPaths) {
  // "DEV|1|2" is a field with two bars, which the device path parser skips.
  EXPECT_FALSE(Equal("DEV|1|2\\5|100\\17|0A1B\\8|k", "5|100\\17|0A1B\\8|k"));
  EXPECT_TRUE(Equal("DEV|1|2\\5|100\\17|0A1B\\8|k", "DEV|x|y\\8|k\\5|100\\17|0a1b"));
}

TEST_F(PathsEqualTest, PrefixedFormsNeverCompareEqual) {
  EXPECT_FALSE(Equal("\\\\!\\T\\D\\K", "\\\\!\\T\\D\\K"));
  EXPECT_EQ(KDPGetLastError(), WinErr2ToolsErr(0x57));
}

TEST_F(PathsEqualTest, FileSystemPathsGoThroughTheToolkit) {
  EXPECT_TRUE(Equal("C:\\Keys\\k1", "C:\\Keys\\k1:.x"));
  EXPECT_FALSE(Equal("C:\\Keys\\k1", "C:\\Keys\\k1:.x", true));
  EXPECT_TRUE(Equal("C:\\Keys", "C:/Keys/"));
  EXPECT_FALSE(Equal("C:\\Keys\\k1", "C:\\Keys\\k2"));
}

TEST_F(PathsEqualTest, ByteBuffersCompareAsTheirText) {
  const std::string a = "5|100\\17|0A1B\\8|k";
  const std::string b = "8|k\\5|100\\17|0A1B";
  EXPECT_TRUE(ArePathsEqual(IdentObj(a.data(), static_cast<DWORD>(a.size())),
                            IdentObj(b.data(), static_cast<DWORD>(b.size())), false));
  EXPECT_FALSE(ArePathsEqual(IdentObj(a.data(), static_cast<DWORD>(a.size())), IdentObj("C:k", 3), false));
}

}  // namespace
}  // namespace keydepot
