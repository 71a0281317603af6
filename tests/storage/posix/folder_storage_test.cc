// The folder back-end on POSIX systems: links, special files and
// permissions.
#include "../folder_test_support.h"

#include <kdtest/other_user.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace keydepot {
namespace {

namespace fs = std::filesystem;

class FolderStoragePosixTest : public testing::FolderStorageTest {
 protected:
  static struct stat Stat(const fs::path& file) {
    struct stat st {};
    ::lstat(file.c_str(), &st);
    return st;
  }
  static unsigned Mode(const fs::path& file) { return Stat(file).st_mode & 07777; }
  // Runs `body` without power over permissions: as the other user, owning
  // `owned`, when the tests run as root; else as this user, who has none.
  static void Unprivileged(const std::vector<fs::path>& owned, const std::function<void()>& body) {
    if (!kdtest::CanBecomeOtherUser()) return body();
    for (const fs::path& path : owned) ASSERT_TRUE(kdtest::GiveToOtherUser(path.c_str())) << path;
    EXPECT_TRUE(kdtest::RunAsOtherUser(body));
  }
};

TEST_F(FolderStoragePosixTest, SaveDoesWhatWritingTheFileWouldDo) {
  IdentObj data("new", 3);
  CertInfo record = Record(P("Keys\\link.bin"), &data);

  // A link is followed: its file gets the bytes and keeps its mode.
  std::ofstream(C("Keys/target.bin")) << "old";
  fs::permissions(C("Keys/target.bin"), fs::perms(0640));
  fs::create_symlink("target.bin", C("Keys/link.bin"));
  ASSERT_TRUE(Save(&record));
  EXPECT_TRUE(fs::is_symlink(C("Keys/link.bin")));
  EXPECT_EQ(Read(C("Keys/target.bin")), "new");
  EXPECT_EQ(Mode(C("Keys/target.bin")), 0640u);

  // A link that leads nowhere yet makes its file, the owner's only.
  fs::create_symlink("made.bin", C("Keys/dangling.bin"));
  record.path = P("Keys\\dangling.bin");
  ASSERT_TRUE(Save(&record));
  EXPECT_TRUE(fs::is_symlink(C("Keys/dangling.bin")));
  EXPECT_EQ(Read(C("Keys/made.bin")), "new");
  EXPECT_EQ(Mode(C("Keys/made.bin")), 0600u);

  // Every name of a hard-linked file sees the new bytes.
  fs::create_hard_link(C("Keys/target.bin"), C("Keys/twin.bin"));
  IdentObj other("other", 5);
  record = Record(P("Keys\\target.bin"), &other);
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(Read(C("Keys/twin.bin")), "other");

  // A name as long as a folder entry allows still has room for the
  // temporary file's name; no temporary file is left anywhere.
  record.path = P("Keys\\") + std::string(251, 'n') + ".bin";
  ASSERT_TRUE(Save(&record));
  IdentObj loaded;
  record.data = &loaded;
  ASSERT_TRUE(Load(&record));
  EXPECT_TRUE(loaded == other);
  EXPECT_EQ(Entries(C("Keys")), 6u);
}

TEST_F(FolderStoragePosixTest, SaveWritesSpecialFilesInPlaceAndLoadRefusesThem) {
  ASSERT_EQ(::mkfifo(C("Keys/pipe").c_str(), 0600), 0);
  // Reading and writing end: the save needs no other reader and never blocks.
  const int pipe = ::open(C("Keys/pipe").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(pipe, 0);
  IdentObj data("fifo!", 5);
  CertInfo record = Record(P("Keys\\pipe"), &data);
  EXPECT_TRUE(Save(&record));
  char buffer[16] = {};
  EXPECT_EQ(::read(pipe, buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer), "fifo!");
  EXPECT_TRUE(fs::is_fifo(C("Keys/pipe")));

  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_OPEN_FAILED);
  ::close(pipe);

  fs::create_directory(C("Keys/folder.bin"));
  record.path = P("Keys\\folder.bin");
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_OPEN_FAILED);
  EXPECT_EQ(data.GetObjectSize(), 5u);
}

TEST_F(FolderStoragePosixTest, SaveFollowsTheCallersPermissions) {
  fs::create_directories(C("Keys/open"));
  fs::create_directories(C("Keys/locked"));
  std::ofstream(C("Keys/open/ro.bin")) << "old";
  std::ofstream(C("Keys/locked/rw.bin")) << "old";
  fs::permissions(C("Keys/open/ro.bin"), fs::perms(0444));
  fs::permissions(C("Keys/locked/rw.bin"), fs::perms(0600));
  fs::permissions(C("Keys/locked"), fs::perms(0500));
  const ino_t inode = Stat(C("Keys/locked/rw.bin")).st_ino;
  Unprivileged({C("Keys/open"), C("Keys/open/ro.bin"), C("Keys/locked"), C("Keys/locked/rw.bin")}, [&] {
    IdentObj data("new", 3);
    // A file the caller may not write is refused, as writing it would be.
    CertInfo record = Record(P("Keys\\open\\ro.bin"), &data);
    SetLastError(0);
    EXPECT_FALSE(Save(&record));
    EXPECT_EQ(KDPGetLastError(), TOOERR_SHORT_WRITE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
    EXPECT_EQ(Read(C("Keys/open/ro.bin")), "old");
    // A writable file in a folder the caller may not write: in place.
    record.path = P("Keys\\locked\\rw.bin");
    EXPECT_TRUE(Save(&record));
    EXPECT_EQ(Read(C("Keys/locked/rw.bin")), "new");
    EXPECT_EQ(Stat(C("Keys/locked/rw.bin")).st_ino, inode);
  });
  fs::permissions(C("Keys/locked"), fs::perms(0700));
}

TEST_F(FolderStoragePosixTest, ASaveIsNeverSteeredByAnotherUsersLinkOrFile) {
  if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << "needs root to act as another user";
  fs::create_directories(C("Keys/pub"));
  fs::permissions(C("Keys/pub"), fs::perms(01777));
  std::ofstream(C("Keys/important.conf")) << "precious";
  fs::create_symlink(C("Keys/important.conf"), C("Keys/pub/cert.pem"));
  std::ofstream(C("Keys/pub/out.pem")).close();
  fs::permissions(C("Keys/pub/out.pem"), fs::perms(0666));
  ASSERT_TRUE(kdtest::GiveToOtherUser(C("Keys/pub/cert.pem").c_str()));
  ASSERT_TRUE(kdtest::GiveToOtherUser(C("Keys/pub/out.pem").c_str()));

  IdentObj key("private key", 11);
  for (const char* name : {"Keys\\pub\\cert.pem", "Keys\\pub\\out.pem"}) {
    CertInfo record = Record(P(name), &key);
    SetLastError(0);
    EXPECT_FALSE(Save(&record)) << name;
    EXPECT_EQ(KDPGetLastError(), TOOERR_SHORT_WRITE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
  }
  EXPECT_EQ(Read(C("Keys/important.conf")), "precious");
  EXPECT_EQ(Read(C("Keys/pub/out.pem")), "");
  EXPECT_EQ(Stat(C("Keys/pub/out.pem")).st_uid, kdtest::kOtherUser);
}

}  // namespace
}  // namespace keydepot
