// The platform layer's path splitting and joining on overlong parts: cut,
// never written past a buffer (the C run-time of Windows leaves that to its
// caller).
#include "../split_path.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

using kdtest::Split;
using kdtest::SplitPath;

TEST(SplitPath, OverlongPartsAreTruncatedNotOverrun) {
  const std::string dir = "/" + std::string(600, 'd') + "/";
  const std::string name(400, 'n');
  const std::string ext = "." + std::string(300, 'e');
  const Split s = SplitPath((dir + name + ext).c_str());
  EXPECT_EQ(s.dir, dir.substr(0, _MAX_DIR - 1));
  EXPECT_EQ(s.fname, name.substr(0, _MAX_FNAME - 1));
  EXPECT_EQ(s.ext, ext.substr(0, _MAX_EXT - 1));
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
