// Path splitting and joining.
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

struct Split {
  std::string drive, dir, fname, ext;
  bool operator==(const Split&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Split& s) {
  return out << '[' << s.drive << "][" << s.dir << "][" << s.fname << "][" << s.ext << ']';
}

Split SplitPath(const char* path) {
  // Heap buffers of exactly the documented sizes, so an overrun is caught.
  std::vector<char> drive(_MAX_DRIVE), dir(_MAX_DIR), fname(_MAX_FNAME), ext(_MAX_EXT);
  _splitpath(path, drive.data(), dir.data(), fname.data(), ext.data());
  return {drive.data(), dir.data(), fname.data(), ext.data()};
}

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

TEST(SplitPath, OverlongPartsAreTruncatedNotOverrun) {
  const std::string dir = "/" + std::string(600, 'd') + "/";
  const std::string name(400, 'n');
  const std::string ext = "." + std::string(300, 'e');
  const Split s = SplitPath((dir + name + ext).c_str());
  EXPECT_EQ(s.dir, dir.substr(0, _MAX_DIR - 1));
  EXPECT_EQ(s.fname, name.substr(0, _MAX_FNAME - 1));
  EXPECT_EQ(s.ext, ext.substr(0, _MAX_EXT - 1));
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

TEST(MakePath, OverlongResultIsRefused) {
  std::vector<char> path(_MAX_PATH, 'x');
  const std::string dir(300, 'd');
  _makepath(path.data(), "C:", dir.c_str(), "f", "e");
  EXPECT_STREQ(path.data(), "");

  char small[8];
  EXPECT_EQ(_makepath_s(small, sizeof small, nullptr, "ab", "cd", "ef"), ERANGE);  // "ab/cd.ef" needs 9
  EXPECT_STREQ(small, "");
  EXPECT_EQ(_makepath_s(small, sizeof small, nullptr, "ab", "c", "ef"), 0);
  EXPECT_EQ(_makepath_s(nullptr, 8, nullptr, "a", "b", "c"), EINVAL);
}

}  // namespace
