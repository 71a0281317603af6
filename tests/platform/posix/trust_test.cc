// The trust check of configuration and store paths: owners, permissions,
// sticky folders and links, as the other user of a shared machine would set
// them up. Cases about another owner need root (they skip otherwise).
#include "kdplatform/errors.h"
#include "kdplatform/trust.h"

#include <gtest/gtest.h>
#include <kdtest/other_user.h>
#include <kdtest/temp_folder.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

class TrustTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Whatever the umask made of it, the test's own folder is closed.
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0700), 0);
  }
  std::string Folder(const std::string& name, mode_t mode) const {
    const std::string path = dir_ / name;
    EXPECT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }
  std::string File(const std::string& name, mode_t mode) const {
    const std::string path = dir_ / name;
    std::ofstream(path) << "x";
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }
  std::string Link(const std::string& name, const std::string& target) const {
    const std::string path = dir_ / name;
    EXPECT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    return path;
  }
  // The answer and the reason given, as "code: why".
  static std::string Check(const std::string& path) {
    std::string why = "stale";
    const DWORD error = kdp::CheckTrusted(path, &why);
    return std::to_string(error) + ": " + why;
  }
  static void SkipUnlessRoot() {
    if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << "needs root to make files of another user";
  }

  kdtest::TempFolder dir_;
};

TEST_F(TrustTest, OwnFilesAndFoldersClosedToOthersAreTrusted) {
  Folder("conf", 0755);
  File("conf/list.conf", 0644);
  EXPECT_EQ(Check(dir_ / "conf/list.conf"), "0: ");
  EXPECT_EQ(Check(dir_ / "conf"), "0: ");
  // Relative paths are judged from the current folder; "." and ".." walk
  // folders already judged.
  const std::string before = std::filesystem::current_path();
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  EXPECT_EQ(Check("conf/./../conf/list.conf"), "0: ");
  ASSERT_EQ(::chdir(before.c_str()), 0);
}

TEST_F(TrustTest, AnythingOthersMayWriteIsNot) {
  Folder("group", 0775);
  File("group/list.conf", 0644);
  EXPECT_EQ(Check(dir_ / "group/list.conf"), "5: " + (dir_ / "group") + " is writable by other users");
  Folder("closed", 0755);
  File("closed/list.conf", 0646);
  EXPECT_EQ(Check(dir_ / "closed/list.conf"), "5: " + (dir_ / "closed/list.conf") + " is writable by other users");
  // Not even sticky, when it is the path itself: others could add to it.
  Folder("sticky", 01777);
  EXPECT_EQ(Check(dir_ / "sticky"), "5: " + (dir_ / "sticky") + " is writable by other users");
  Folder("open", 0777);
  Folder("open/below", 0700);
  EXPECT_EQ(Check(dir_ / "open/below"), "5: " + (dir_ / "open") + " is writable by other users");
}

TEST_F(TrustTest, AStickyFolderOnTheWayIsTrustedWhenTheEntryBelowIs) {
  Folder("tmp", 01777);
  Folder("tmp/mine", 0700);
  File("tmp/mine/list.conf", 0600);
  File("tmp/list.conf", 0644);
  EXPECT_EQ(Check(dir_ / "tmp/mine/list.conf"), "0: ");
  // Others cannot rename or remove a trusted entry of a sticky folder.
  EXPECT_EQ(Check(dir_ / "tmp/list.conf"), "0: ");
  // /tmp itself is such a folder, and the test's folder lies in it.
}

TEST_F(TrustTest, LinksAreFollowedWhenTrustedAndTheirTargetsJudgedInTurn) {
  Folder("real", 0755);
  File("real/list.conf", 0644);
  Link("relative", "real/list.conf");
  Link("absolute", dir_ / "real");
  Link("chain", "absolute");
  EXPECT_EQ(Check(dir_ / "relative"), "0: ");
  EXPECT_EQ(Check(dir_ / "chain/list.conf"), "0: ");
  EXPECT_EQ(Check(dir_ / "chain/../real/list.conf"), "0: ");
  Folder("open", 0777);
  File("open/list.conf", 0644);
  Link("to-open", "open/list.conf");
  EXPECT_EQ(Check(dir_ / "to-open"), "5: " + (dir_ / "open") + " is writable by other users");
  Link("loop", "loop");
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "loop"), ERROR_CANT_RESOLVE_FILENAME);
}

TEST_F(TrustTest, MissingPathsAreNotFoundNotUntrusted) {
  File("file", 0644);
  EXPECT_EQ(Check(dir_ / "none"), "2: ");
  EXPECT_EQ(Check(dir_ / "none/list.conf"), "3: ");
  EXPECT_EQ(Check(dir_ / "file/list.conf"), "3: ");
  Link("dangling", "none");
  EXPECT_EQ(Check(dir_ / "dangling"), "2: ");
  EXPECT_EQ(kdp::CheckTrusted(""), ERROR_FILE_NOT_FOUND);
}

TEST_F(TrustTest, WhatAnotherUserOwnsIsNot) {
  SkipUnlessRoot();
  const std::string file = File("list.conf", 0644);
  ASSERT_TRUE(kdtest::GiveToOtherUser(file.c_str()));
  EXPECT_EQ(Check(file), "5: " + file + " is owned by another user (uid 65534)");

  // A sticky folder does not make the other user's entry below it trusted.
  const std::string tmp = Folder("tmp", 01777);
  const std::string theirs = Folder("tmp/theirs", 0755);
  ASSERT_TRUE(kdtest::GiveToOtherUser(theirs.c_str()));
  File("tmp/theirs/list.conf", 0644);
  EXPECT_EQ(Check(theirs + "/list.conf"), "5: " + theirs + " is owned by another user (uid 65534)");

  // Their link is never followed, even to a trusted file; the caller's is.
  Folder("real", 0755);
  File("real/list.conf", 0644);
  const std::string link = Link("tmp/planted", dir_ / "real/list.conf");
  ASSERT_TRUE(kdtest::GiveToOtherUser(link.c_str()));
  EXPECT_EQ(Check(link), "5: " + link + " is a link owned by another user (uid 65534)");
  Link("tmp/mine", dir_ / "real/list.conf");
  EXPECT_EQ(Check(tmp + "/mine"), "0: ");
}

TEST_F(TrustTest, TrustIsJudgedForTheCallingUser) {
  SkipUnlessRoot();
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  const std::string rootFile = File("root.conf", 0644);
  const std::string theirFile = File("their.conf", 0644);
  ASSERT_TRUE(kdtest::GiveToOtherUser(theirFile.c_str()));
  EXPECT_TRUE(kdtest::RunAsOtherUser([&] {
    EXPECT_EQ(Check(rootFile), "0: ");
    EXPECT_EQ(Check(theirFile), "0: ");
  }));
}

}  // namespace
