// TOOUtils::IsPathEqual on Linux: names compared as text after the drive map
// and normalisation; letter case counts; links are the same place.
#include "../temp_folder.h"

#include <tools2/path_utils.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

using IsPathEqualTest = TempFolderTest;

TEST_F(IsPathEqualTest, SeparatorsDotsAndDriveLettersNormalise) {
  const std::string r = root_;
  EXPECT_TRUE(TOOUtils::IsPathEqual("K:\\keys\\a.bin", r + "/keys/a.bin"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("K:\\keys\\", r + "/keys"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("K:\\keys\\.\\x\\..\\a", r + "//keys/a/"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("/../a", "/a"));  // never above the root
  EXPECT_TRUE(TOOUtils::IsPathEqual("/", "\\"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("K:\\Keys", r + "/keys"));  // case counts
  EXPECT_FALSE(TOOUtils::IsPathEqual("K:\\keys\\a", "K:\\keys\\ab"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("Q:\\x\\y", "Q:/x/./y/"));  // unmapped drive
  EXPECT_TRUE(TOOUtils::IsPathEqual("q:\\x", "Q:\\x"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("Q:\\x", "R:\\x"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("Q:\\x", "/x"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("", ""));
  EXPECT_FALSE(TOOUtils::IsPathEqual("", "/"));
}

TEST_F(IsPathEqualTest, RelativePathsResolveAgainstTheCurrentFolder) {
  std::filesystem::create_directory(Native("sub"));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(root_);
  EXPECT_TRUE(TOOUtils::IsPathEqual("sub\\a", root_ + "/sub/a"));
  EXPECT_TRUE(TOOUtils::IsPathEqual(".", "K:\\"));
  std::filesystem::current_path(previous);
}

TEST_F(IsPathEqualTest, LinksToTheSameFileAreTheSamePlace) {
  std::filesystem::create_directory(Native("real"));
  MakeFile("real/a", "x");
  std::filesystem::create_directory_symlink(Native("real"), Native("alias"));
  EXPECT_TRUE(TOOUtils::IsPathEqual("K:\\alias\\a", "K:\\real\\a"));
  EXPECT_FALSE(TOOUtils::IsPathEqual("K:\\alias\\b", "K:\\real\\b"));  // missing: text only
}

}  // namespace
