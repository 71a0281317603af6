// Path splitting and joining, as the library uses them: held to the C
// run-time's own functions on Windows and to the platform layer's on Linux.
// How the Linux layer bounds overlong parts is its own (posix/).
#include "split_path.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

using kdtest::Split;
using kdtest::SplitPath;

TEST(SplitPath, PartsWithBothSeparators) {
  EXPECT_EQ(SplitPath("C:\\Keys\\sub/cont.dat"), (Split{"C:", "\\Keys\\sub/", "cont", ".dat"}));
  EXPECT_EQ(SplitPath("/home/a.b/file"), (Split{"", "/home/a.b/", "file", ""}));
  EXPECT_EQ(SplitPath("archive.tar.gz"), (Split{"", "", "archive.tar", ".gz"}));
  EXPECT_EQ(SplitPath("D:cont"), (Split{"D:", "", "cont", ""}));
  EXPECT_EQ(SplitPath("C:\\Keys\\"), (Split{"C:", "\\Keys\\", "", ""}));
  EXPECT_EQ(SplitPath("cont:.sig"), (Split{"", "", "cont:", ".sig"}));
  EXPECT_EQ(SplitPath(""), (Split{}));
  EXPECT_EQ(SplitPath(nullptr), (Split{}));
}

TEST(SplitPathS, ReportsAndEmptiesOnParts) {
  char drive[_MAX_DRIVE] = "x", dir[8] = "x", fname[8] = "x", ext[8] = "x";
  EXPECT_EQ(_splitpath_s("C:\\a\\bb.c", drive, sizeof drive, dir, sizeof dir, fname, sizeof fname, ext, sizeof ext), 0);
  EXPECT_STREQ(dir, "\\a\\");
  EXPECT_STREQ(fname, "bb");

  // The directory "\\abcdefgh\\" needs 11 bytes.
  EXPECT_EQ(
      _splitpath_s("C:\\abcdefgh\\f.e", drive, sizeof drive, dir, sizeof dir, fname, sizeof fname, ext, sizeof ext),
      ERANGE);
  EXPECT_STREQ(drive, "");
  EXPECT_STREQ(dir, "");
  EXPECT_STREQ(fname, "");
  EXPECT_STREQ(ext, "");

  EXPECT_EQ(_splitpath_s(nullptr, drive, sizeof drive, dir, sizeof dir, fname, sizeof fname, ext, sizeof ext), EINVAL);
  EXPECT_EQ(_splitpath_s("a", drive, 0, nullptr, 0, nullptr, 0, nullptr, 0), EINVAL);
}

TEST(MakePath, JoinsWithSeparatorAndDot) {
  char path[_MAX_PATH];
  _makepath(path, "C:", "\\Keys", "cont", "dat");
  EXPECT_EQ(std::string(path), std::string("C:\\Keys") + KDP_PATH_SEPARATOR + "cont.dat");
  _makepath(path, "C", "\\Keys\\", "cont", ".dat");
  EXPECT_STREQ(path, "C:\\Keys\\cont.dat");
  _makepath(path, nullptr, "dir/", "f", nullptr);
  EXPECT_STREQ(path, "dir/f");
  _makepath(path, "", "", "", "");
  EXPECT_STREQ(path, "");
}

}  // namespace
