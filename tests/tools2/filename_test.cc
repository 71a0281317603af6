#include <tools2/filename.h>

#include <gtest/gtest.h>

namespace {

struct PathCase {
  const char* path;
  const char* folder;
  const char* name;
  const char* ext;
};

TEST(FILENAME, SplitsFolderNameAndExtension) {
  const PathCase cases[] = {
      {"C:\\keys\\a.bin", "C:\\keys", "a.bin", ".bin"},
      {"/usr/lib/nodyx.so", "/usr/lib", "nodyx.so", ".so"},
      {"C:\\my.keys/v1.2\\file", "C:\\my.keys/v1.2", "file", ""},  // dots in folders
      {"a.tar.gz", ".", "a.tar.gz", ".gz"},                        // no folder
      {"C:a.bin", "C:", "a.bin", ".bin"},                          // drive, no folder
      {"C:\\a.bin", "C:", "a.bin", ".bin"},                        // drive root
      {"/a.bin", "", "a.bin", ".bin"},                             // root
      {"dir//a", "dir", "a", ""},
      {"dir/", "dir", "", ""},
      {"\\\\server\\share\\f.p12", "\\\\server\\share", "f.p12", ".p12"},
      {"cont:.s", ".", "cont:.s", ".s"},
      {"", ".", "", ""},
  };
  for (const PathCase& c : cases) {
    const TOO::FILENAME f(c.path);
    EXPECT_STREQ(f.ExtractFilePath(), c.folder) << c.path;
    EXPECT_STREQ(f.ExtractFileName(), c.name) << c.path;
    EXPECT_STREQ(f.ExtractFileExt(), c.ext) << c.path;
  }
}

TEST(FILENAME, FolderPlusSeparatorAndNameGivesAPathInThatFolder) {
  for (const char* path : {"/opt/kd/lib/libkeydepot.so", "/libkeydepot.so", "C:\\libkeydepot.so", "libkeydepot.so"}) {
    TOO::FILENAME rebuilt(TOO::FILENAME(path).ExtractFilePath());
    rebuilt += "/libkeydepot.so";
    EXPECT_STREQ(TOO::FILENAME(rebuilt).ExtractFilePath(), TOO::FILENAME(path).ExtractFilePath()) << path;
  }
  EXPECT_STREQ(TOO::FILENAME(static_cast<const char*>(nullptr)), "");
}

}  // namespace
