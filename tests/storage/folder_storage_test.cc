#include "kdplatform/testing.h"
#include "path_test_support.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace keydepot {
namespace {

namespace fs = std::filesystem;

class FolderStorageTest : public testing::PathTest {
 protected:
  void TearDown() override {
    kdp::testing::ResetFreeDiskSpace();
    kdp::testing::ResetFileFaults();
    PathTest::TearDown();
  }
  CertInfo Record(const std::string& path, IdentObj* data) {
    CertInfo record;
    record.path = path;
    record.data = data;
    return record;
  }
  std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path C(const std::string& rest) { return drives_ / "c" / rest; }
  static struct stat Stat(const fs::path& file) {
    struct stat st {};
    ::lstat(file.c_str(), &st);
    return st;
  }
  static unsigned Mode(const fs::path& file) { return Stat(file).st_mode & 07777; }
  static std::size_t Entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }
  // Runs `body` in a child process that has no power over permissions (as
  // nobody, owning `owned`, when the tests run as root); its failures fail
  // the test.
  static void Unprivileged(const std::vector<fs::path>& owned, const std::function<void()>& body) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        for (const fs::path& path : owned) {
          if (::lchown(path.c_str(), kNobody, kNobody) != 0) ::_exit(3);
        }
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(3);
      }
      body();
      ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
};

TEST_F(FolderStorageTest, SaveLoadRoundTripAndFolderCreation) {
  IdentObj bytes("\x00\x01\x02\xFF", 4);
  CertInfo record = Record("C:\\Keys\\new\\deeper\\a.bin", &bytes);
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(Read(C("Keys/new/deeper/a.bin")), std::string("\x00\x01\x02\xFF", 4));
  EXPECT_TRUE(IsExist(&record));

  IdentObj loaded("a longer item loaded before", 27);  // its block is read into
  record.data = &loaded;
  ASSERT_TRUE(Load(&record));
  EXPECT_TRUE(loaded == bytes);
  EXPECT_EQ(std::string(GetStorageName(record.path.c_str())), "C:\\Keys\\new\\deeper\\");
  EXPECT_EQ(GetDeviceID(record.path.c_str()).GetObjectSize(), 0u);

  // No temporary file is left beside the item.
  EXPECT_EQ(std::distance(fs::directory_iterator(C("Keys/new/deeper")), fs::directory_iterator()), 1);
  ASSERT_TRUE(Clear(&record));
  EXPECT_FALSE(fs::exists(C("Keys/new/deeper/a.bin")));
  EXPECT_TRUE(Clear(&record));  // nothing to delete
}

TEST_F(FolderStorageTest, LoadFailures) {
  IdentObj data("keep", 4);
  CertInfo record = Record("C:\\Keys\\missing.bin", &data);
  SetLastError(0);
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_FILE_MISSING);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(data.GetObjectSize(), 4u);  // untouched

  Touch(C("Keys/empty.bin"));
  std::ofstream(C("Keys/empty.bin"), std::ios::trunc).close();
  record.path = "C:\\Keys\\empty.bin";
  ASSERT_TRUE(Load(&record));
  EXPECT_EQ(data.GetObjectSize(), 0u);
  EXPECT_EQ(KDPGetLastError(), TOOERR_FILE_MISSING);  // success leaves the store alone

  record.path = "Q:\\unmapped\\a.bin";
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_FILE_MISSING);

  EXPECT_FALSE(LoadVpn2Pass(&record));
}

TEST_F(FolderStorageTest, RoomIsCheckedBeforeWriting) {
  IdentObj old("old!", 4);
  CertInfo record = Record("C:\\Keys\\a.bin", &old);
  ASSERT_TRUE(Save(&record));

  // Free space is counted in 4096-byte clusters.
  IdentObj big(nullptr, 8193);
  record.data = &big;
  kdp::testing::FakeFreeDiskSpace(8192);
  EXPECT_EQ(GetSize(&record), 8192u);
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_NO_ROOM);
  EXPECT_EQ(Read(C("Keys/a.bin")), "old!");

  kdp::testing::FailFreeDiskSpace(ERROR_NOT_READY);
  EXPECT_EQ(GetSize(&record), 0u);
  EXPECT_FALSE(Save(&record));
  IdentObj empty;
  record.data = &empty;
  EXPECT_TRUE(Save(&record));  // an empty item fits no room at all
  EXPECT_EQ(Read(C("Keys/a.bin")), "");

  kdp::testing::FakeFreeDiskSpace(5ull << 30);
  EXPECT_EQ(GetSize(&record), 0xFFFFFFFFu);
}

TEST_F(FolderStorageTest, UncreatableFolderAndRelativeNames) {
  Touch(C("Keys/plain"));
  IdentObj data("x", 1);
  CertInfo record = Record("C:\\Keys\\plain\\sub\\a.bin", &data);
  SetLastError(0);
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_FOLDER_NOT_CREATED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));

  const fs::path before = fs::current_path();
  fs::current_path(C("Keys"));
  record.path = "rel.bin";
  EXPECT_TRUE(Save(&record));
  EXPECT_EQ(GetStorageName("rel.bin").Length(), 0u);
  fs::current_path(before);
  EXPECT_EQ(Read(C("Keys/rel.bin")), "x");
}

TEST_F(FolderStorageTest, AnInterruptedSaveKeepsTheOldItemWhole) {
  const std::string oldText(1000, 'o');
  IdentObj old(oldText.data(), static_cast<DWORD>(oldText.size()));
  CertInfo record = Record("C:\\Keys\\item.bin", &old);
  ASSERT_TRUE(Save(&record));

  IdentObj large(nullptr, 64u << 20);
  std::memset(large.pbData, 'n', large.cbData);
  for (int delayMs : {0, 1, 3, 10, 30}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CertInfo saving = record;
      saving.data = &large;
      Save(&saving);
      _exit(0);
    }
    usleep(static_cast<useconds_t>(delayMs) * 1000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string now = Read(C("Keys/item.bin"));
    // Either the old item or the whole new one; never a mixture or a part.
    const bool whole = now == oldText || (now.size() == large.cbData && now.find_first_not_of('n') == std::string::npos);
    EXPECT_TRUE(whole) << "torn item of " << now.size() << " bytes after " << delayMs << " ms";
    if (now != oldText) {
      ASSERT_TRUE(Save(&record));
    }
  }
}

TEST_F(FolderStorageTest, SaveDoesWhatWritingTheFileWouldDo) {
  IdentObj data("new", 3);
  CertInfo record = Record("C:\\Keys\\link.bin", &data);

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
  record.path = "C:\\Keys\\dangling.bin";
  ASSERT_TRUE(Save(&record));
  EXPECT_TRUE(fs::is_symlink(C("Keys/dangling.bin")));
  EXPECT_EQ(Read(C("Keys/made.bin")), "new");
  EXPECT_EQ(Mode(C("Keys/made.bin")), 0600u);

  // Every name of a hard-linked file sees the new bytes.
  fs::create_hard_link(C("Keys/target.bin"), C("Keys/twin.bin"));
  IdentObj other("other", 5);
  record = Record("C:\\Keys\\target.bin", &other);
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(Read(C("Keys/twin.bin")), "other");

  // A name as long as a folder entry allows still has room for the
  // temporary file's name; no temporary file is left anywhere.
  record.path = "C:\\Keys\\" + std::string(251, 'n') + ".bin";
  ASSERT_TRUE(Save(&record));
  IdentObj loaded;
  record.data = &loaded;
  ASSERT_TRUE(Load(&record));
  EXPECT_TRUE(loaded == other);
  EXPECT_EQ(Entries(C("Keys")), 6u);
}

TEST_F(FolderStorageTest, SaveWritesSpecialFilesInPlaceAndLoadRefusesThem) {
  ASSERT_EQ(::mkfifo(C("Keys/pipe").c_str(), 0600), 0);
  // Reading and writing end: the save needs no other reader and never blocks.
  const int pipe = ::open(C("Keys/pipe").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(pipe, 0);
  IdentObj data("fifo!", 5);
  CertInfo record = Record("C:\\Keys\\pipe", &data);
  EXPECT_TRUE(Save(&record));
  char buffer[16] = {};
  EXPECT_EQ(::read(pipe, buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer), "fifo!");
  EXPECT_TRUE(fs::is_fifo(C("Keys/pipe")));

  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_OPEN_FAILED);
  ::close(pipe);

  fs::create_directory(C("Keys/folder.bin"));
  record.path = "C:\\Keys\\folder.bin";
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_OPEN_FAILED);
  EXPECT_EQ(data.GetObjectSize(), 5u);
}

TEST_F(FolderStorageTest, SaveFollowsTheCallersPermissions) {
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
    CertInfo record = Record("C:\\Keys\\open\\ro.bin", &data);
    SetLastError(0);
    EXPECT_FALSE(Save(&record));
    EXPECT_EQ(KDPGetLastError(), TOOERR_SHORT_WRITE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
    EXPECT_EQ(Read(C("Keys/open/ro.bin")), "old");
    // A writable file in a folder the caller may not write: in place.
    record.path = "C:\\Keys\\locked\\rw.bin";
    EXPECT_TRUE(Save(&record));
    EXPECT_EQ(Read(C("Keys/locked/rw.bin")), "new");
    EXPECT_EQ(Stat(C("Keys/locked/rw.bin")).st_ino, inode);
  });
  fs::permissions(C("Keys/locked"), fs::perms(0700));
}

TEST_F(FolderStorageTest, FailingDiskStepsLeaveTheOldItemAndNoTemporaryFile) {
  IdentObj old("old!", 4);
  CertInfo record = Record("C:\\Keys\\a.bin", &old);
  ASSERT_TRUE(Save(&record));
  IdentObj fresh("fresh", 5);
  record.data = &fresh;
  using kdp::testing::FileStep;
  for (const FileStep step : {FileStep::kOpen, FileStep::kWrite, FileStep::kSync, FileStep::kRename}) {
    kdp::testing::FailFileStep(step, ERROR_DISK_FULL);
    SetLastError(0);
    EXPECT_FALSE(Save(&record)) << static_cast<int>(step);
    EXPECT_EQ(KDPGetLastError(), TOOERR_SHORT_WRITE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
    EXPECT_EQ(Read(C("Keys/a.bin")), "old!");
    EXPECT_EQ(Entries(C("Keys")), 1u);
  }

  IdentObj loaded("keep", 4);
  record.data = &loaded;
  kdp::testing::FailFileStep(FileStep::kOpen, ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_OPEN_FAILED);
  kdp::testing::FailFileStep(FileStep::kRead, ERROR_READ_FAULT);
  SetLastError(0);
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_SHORT_READ);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
}

TEST_F(FolderStorageTest, AFileOf4GiBIsNeverReadAsLess) {
  const int fd = ::open(C("Keys/huge.bin").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 4ll << 30), 0);  // sparse: takes no room
  ::close(fd);
  IdentObj data("keep", 4);
  CertInfo record = Record("C:\\Keys\\huge.bin", &data);
  SetLastError(0);
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_SHORT_READ);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
  EXPECT_EQ(data.GetObjectSize(), 4u);
}

TEST_F(FolderStorageTest, RoomIsThatOfTheItemsOwnFolder) {
  // C:\Keys is the nearest folder that exists; the current folder is not.
  kdp::testing::FakeFreeDiskSpace(8192, C("Keys").string());
  IdentObj data;
  CertInfo record = Record("C:\\Keys\\new\\deeper\\a.bin", &data);
  EXPECT_EQ(GetSize(&record), 8192u);
  record.path = (C("Keys") / "a.bin").string();  // no drive letter
  EXPECT_EQ(GetSize(&record), 8192u);
  record.path = "Q:\\unmapped\\a.bin";
  EXPECT_EQ(GetSize(&record), 0u);
}

}  // namespace
}  // namespace keydepot
