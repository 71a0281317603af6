// Saves among other users: what another user placed in a folder others can
// write never steers a save, a replacement is never handed to anyone else,
// and what a save writes is its owner's only until it is complete. Cases
// about another user need root (they skip otherwise).
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/path_names.h"

#include <gtest/gtest.h>
#include <kdtest/other_user.h>
#include <kdtest/temp_folder.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace {

constexpr uid_t kOther = kdtest::kOtherUser;

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0); }

  std::string Folder(const std::string& name, mode_t mode) const {
    const std::string path = dir_ / name;
    EXPECT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }
  std::string File(const std::string& name, const std::string& content, mode_t mode) const {
    const std::string path = dir_ / name;
    std::ofstream(path) << content;
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }
  // A link made by root and given to the other user, as if they had made it.
  std::string TheirLink(const std::string& name, const std::string& target) const {
    const std::string path = dir_ / name;
    EXPECT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    EXPECT_TRUE(kdtest::GiveToOtherUser(path.c_str()));
    return path;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static struct stat Stat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
  }
  static DWORD Save(const std::string& path, const std::string& text) {
    return kdp::SaveFile(path, text.data(), text.size());
  }
  static void SkipUnlessRoot() {
    if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << "needs root to act as another user";
  }

  kdtest::TempFolder dir_;
};

// A '/' at the end names a folder: the parent is the folder that holds it,
// and a save there writes no file, whether the name is a file, a folder or
// nothing yet.
TEST_F(SaveTest, APathEndingInASlashNamesAFolderAndSavesNoFile) {
  EXPECT_EQ(kdp::ParentOf("/keys/sub/"), "/keys");
  EXPECT_EQ(kdp::ParentOf("/keys/sub//"), "/keys");
  EXPECT_EQ(kdp::ParentOf("/keys/a.pem"), "/keys");
  EXPECT_EQ(kdp::ParentOf("/a.pem"), "/");
  EXPECT_EQ(kdp::ParentOf("/"), "/");
  EXPECT_EQ(kdp::ParentOf("a.pem"), ".");
  EXPECT_EQ(kdp::ParentOf("keys/"), ".");
  EXPECT_TRUE(kdp::IsAbsolutePath("/keys"));
  EXPECT_FALSE(kdp::IsAbsolutePath("keys/a.pem"));
  EXPECT_FALSE(kdp::IsAbsolutePath(""));
  for (const char* path : {"/keys/a.pem", "/a.pem", "keys/a.pem"}) {
    EXPECT_EQ(kdp::JoinPath(kdp::ParentOf(path), "a.pem"), path) << "back where it was";
  }

  const std::string file = File("a.pem", "kept", 0600);
  EXPECT_NE(Save(file + "/", "new"), 0u);
  EXPECT_EQ(Read(file), "kept");
  const std::string folder = Folder("sub", 0700);
  EXPECT_NE(Save(folder + "/", "new"), 0u);
  EXPECT_TRUE(S_ISDIR(Stat(folder).st_mode));
  EXPECT_NE(Save(dir_ / "missing/", "new"), 0u);
  EXPECT_NE(::access((dir_ / "missing").c_str(), F_OK), 0);
}

TEST_F(SaveTest, ALinkAnotherUserPlantedInAnOpenFolderIsNeverFollowed) {
  SkipUnlessRoot();
  Folder("root-only", 0700);
  const std::string important = File("root-only/important.conf", "precious", 0600);
  // Sticky like /tmp, open to all, open to a group: others may write each.
  for (const mode_t mode : {01777, 0777, 0775}) {
    const std::string pub = Folder("pub" + std::to_string(mode), mode);
    const std::string cert = TheirLink("pub" + std::to_string(mode) + "/cert.pem", important);
    EXPECT_EQ(Save(cert, "private key"), ERROR_ACCESS_DENIED) << mode;
    EXPECT_EQ(Read(important), "precious");
    EXPECT_TRUE(S_ISLNK(Stat(cert).st_mode));
    EXPECT_EQ(kdp::SaveRefusal(cert),
              cert + " is a link owned by another user (uid 65534) in " + pub + ", a folder other users can write");
  }
  // The same link in a folder only root may change is root's to follow.
  const std::string closed = Folder("closed", 0755);
  const std::string link = TheirLink("closed/cert.pem", important);
  EXPECT_EQ(Save(link, "new"), 0u);
  EXPECT_EQ(Read(important), "new");
  EXPECT_EQ(kdp::SaveRefusal(link), "");
}

TEST_F(SaveTest, InAnOpenFolderTheCallersAndTheFolderOwnersLinksAreFollowed) {
  SkipUnlessRoot();
  const std::string target = File("target.pem", "old", 0640);
  Folder("tmp", 01777);
  ASSERT_EQ(::symlink(target.c_str(), (dir_ / "tmp/mine.pem").c_str()), 0);
  EXPECT_EQ(Save(dir_ / "tmp/mine.pem", "one"), 0u);
  EXPECT_EQ(Read(target), "one");
  EXPECT_EQ(Stat(target).st_mode & 07777, 0640u);
  // The folder's owner could replace the folder itself: their links are
  // followed, as the kernel follows them.
  const std::string theirs = Folder("theirs", 01777);
  ASSERT_TRUE(kdtest::GiveToOtherUser(theirs.c_str()));
  TheirLink("theirs/cert.pem", target);
  EXPECT_EQ(Save(dir_ / "theirs/cert.pem", "two"), 0u);
  EXPECT_EQ(Read(target), "two");
}

TEST_F(SaveTest, AnotherUsersFileInAnOpenFolderIsNeitherWrittenNorReplaced) {
  SkipUnlessRoot();
  const std::string pub = Folder("pub", 01777);
  const std::string out = File("pub/out.pem", "", 0666);
  ASSERT_TRUE(kdtest::GiveToOtherUser(out.c_str()));
  const ino_t node = Stat(out).st_ino;
  EXPECT_EQ(Save(out, "private key"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Read(out), "");
  EXPECT_EQ(Stat(out).st_uid, kOther);
  EXPECT_EQ(Stat(out).st_ino, node);
  EXPECT_EQ(kdp::SaveRefusal(out),
            out + " belongs to another user (uid 65534) in " + pub + ", a folder other users can write");
  // A FIFO of theirs is no way in either (its reader would get the bytes).
  ASSERT_EQ(::mkfifo((pub + "/fifo").c_str(), 0666), 0);
  ASSERT_TRUE(kdtest::GiveToOtherUser((pub + "/fifo").c_str()));
  const int reader = ::open((pub + "/fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(Save(pub + "/fifo", "private key"), ERROR_ACCESS_DENIED);
  char got[16];
  EXPECT_LE(::read(reader, got, sizeof got), 0);
  ::close(reader);
  // The caller's own file there is saved as anywhere else.
  const std::string mine = File("pub/mine.pem", "old", 0640);
  EXPECT_EQ(Save(mine, "new"), 0u);
  EXPECT_EQ(Read(mine), "new");
  EXPECT_EQ(Stat(mine).st_mode & 07777, 0640u);
}

TEST_F(SaveTest, AReplacementIsTheCallersAndNeverWiderThanTheOldFile) {
  SkipUnlessRoot();
  Folder("keys", 0755);
  // Another user's file: the new one is the caller's, owner-only at most.
  for (const mode_t mode : {0666, 0644, 0400}) {
    const std::string path = File("keys/theirs" + std::to_string(mode), "old", mode);
    ASSERT_TRUE(kdtest::GiveToOtherUser(path.c_str()));
    EXPECT_EQ(Save(path, "private key"), 0u);
    const struct stat st = Stat(path);
    EXPECT_EQ(st.st_uid, 0u) << mode;
    EXPECT_EQ(st.st_mode & 07777, mode & 0600) << mode;
    EXPECT_EQ(Read(path), "private key");
  }
  // The caller's own file keeps its mode and group.
  const std::string mine = File("keys/mine", "old", 02640);
  ASSERT_EQ(::chown(mine.c_str(), 0, kOther), 0);
  ASSERT_EQ(::chmod(mine.c_str(), 02640), 0);
  EXPECT_EQ(Save(mine, "new"), 0u);
  EXPECT_EQ(Stat(mine).st_gid, kOther);
  EXPECT_EQ(Stat(mine).st_mode & 07777, 02640u);
}

TEST_F(SaveTest, TheOtherUserSavesIntoTheirOwnFilesInAnOpenFolder) {
  SkipUnlessRoot();
  const std::string pub = Folder("pub", 01777);
  const std::string rootFile = File("pub/root.pem", "old", 0666);
  EXPECT_TRUE(kdtest::RunAsOtherUser([&] {
    EXPECT_EQ(Save(pub + "/new.pem", "theirs"), 0u);
    EXPECT_EQ(Save(pub + "/new.pem", "again"), 0u);
    EXPECT_EQ(Save(rootFile, "theirs"), ERROR_ACCESS_DENIED);
  }));
  EXPECT_EQ(Stat(pub + "/new.pem").st_uid, kOther);
  EXPECT_EQ(Read(pub + "/new.pem"), "again");
  EXPECT_EQ(Read(rootFile), "old");
}

// Watches `folder` for temporary files while `save` runs; true when one was
// seen with access for others before all its bytes were in.
bool SeenOpenWhileIncomplete(const std::string& folder, std::size_t size, const std::function<void()>& save) {
  std::atomic<bool> done{false};
  std::atomic<bool> seenOpen{false};
  std::thread watcher([&] {
    while (!done) {
      DIR* dir = ::opendir(folder.c_str());
      if (dir == nullptr) continue;
      while (const dirent* entry = ::readdir(dir)) {
        if (!kdp::IsTemporaryFileName(entry->d_name)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            static_cast<std::size_t>(st.st_size) < size && (st.st_mode & 077) != 0) {
          seenOpen = true;
        }
      }
      ::closedir(dir);
    }
  });
  save();
  done = true;
  watcher.join();
  return seenOpen;
}

TEST_F(SaveTest, ATemporaryFileIsItsOwnersOnlyUntilItIsComplete) {
  const std::string target = File("public.pem", "old", 0644);
  const std::string data(16u << 20, 'k');
  for (int round = 0; round < 2; ++round) {
    EXPECT_FALSE(SeenOpenWhileIncomplete(dir_.path(), data.size(), [&] { EXPECT_EQ(Save(target, data), 0u); }));
    EXPECT_FALSE(SeenOpenWhileIncomplete(dir_.path(), data.size(), [&] {
      EXPECT_EQ(kdp::ReplaceFileAtomically(dir_ / "shared.conf", data.data(), data.size(), kdp::Access::kPublicRead),
                0u);
    }));
  }
  EXPECT_EQ(Stat(target).st_mode & 07777, 0644u);
  EXPECT_EQ(Stat(dir_ / "shared.conf").st_mode & 07777, 0644u);
}

}  // namespace
