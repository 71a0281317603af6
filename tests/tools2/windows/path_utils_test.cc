// TOOUtils::IsPathEqual on Windows: full paths compared ignoring letter case,
// relative ones against the current folder, network ones within their
// share; hard links are the same place.
#include "../temp_folder.h"

#include <tools2/path_utils.h>

#include <gtest/gtest.h>
#include <kdplatform/win32.h>

#include <filesystem>

namespace {

using IsPathEqualTest = TempFolderTest;

TEST_F(IsPathEqualTest, FullPathsCompareIgnoringCase) {
  EXPECT_TRUE(TOOUtils::IsPathEqual(K("keys\\a.bin"), root_ + "/keys/a.bin"));
  EXPECT_TRUE(TOOUtils::IsPathEqual(K("keys\\"), root_ + "/keys"));
  EXPECT_TRUE(TOOUtils::IsPathEqual(K("keys\\.\\x\\..\\a"), root_ + "/KEYS/a/"));  // case ignored
  EXPECT_FALSE(TOOUtils::IsPathEqual(K("keys\\a"), K("keys\\ab")));
  EXPECT_TRUE(TOOUtils::IsPathEqual("Q:\\x\\y", "q:/x/./y/"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("Q:\\x", "R:\\x"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("C:\\", "c:/"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("", ""));
  EXPECT_FALSE(TOOUtils::IsPathEqual("", "C:\\"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("C:\\..\\x", "C:\\x"));  // never above the root
}

// A share is the root of a network path: ".." never leaves it.
TEST_F(IsPathEqualTest, NetworkPathsStayWithinTheirShare) {
  EXPECT_TRUE(TOOUtils::IsPathEqual("\\\\srv\\share\\keys\\a.bin", "//SRV/Share/keys/./a.bin"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("\\\\srv\\share\\..\\..\\a.bin", "\\\\srv\\share\\a.bin"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("\\\\srv\\share\\a.bin", "\\\\srv\\other\\a.bin"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("\\\\srv\\share\\a.bin", "\\\\other\\share\\a.bin"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("\\\\srv\\share\\a.bin", "C:\\share\\a.bin"));
}

TEST_F(IsPathEqualTest, RelativePathsResolveAgainstTheCurrentFolder) {
  std::filesystem::create_directory(Native("sub"));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(root_);
  EXPECT_TRUE(TOOUtils::IsPathEqual("sub\\a", root_ + "\\sub\\a"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("SUB\\..\\sub\\a", K("sub\\a")));
  EXPECT_TRUE(TOOUtils::IsPathEqual(".", root_));
  EXPECT_TRUE(TOOUtils::IsPathEqual("..\\" + std::filesystem::path(root_).filename().string(), root_ + "\\"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("sub\\a", "sub\\b"));
  std::filesystem::current_path(previous);
}

TEST_F(IsPathEqualTest, HardLinksAreTheSamePlace) {
  MakeFile("a", "x");
  ASSERT_TRUE(CreateHardLinkA(Native("b").c_str(), Native("a").c_str(), nullptr));
  EXPECT_TRUE(TOOUtils::IsPathEqual(K("a"), K("b")));
  EXPECT_FALSE(TOOUtils::IsPathEqual(K("a"), K("c")));  // missing: text only
}

}  // namespace
