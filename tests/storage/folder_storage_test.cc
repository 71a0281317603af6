#include "kdplatform/testing.h"
#include "path_test_support.h"

#include <csignal>
#include <cstring>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace keydepot {
namespace {

namespace fs = std::filesystem;

class FolderStorageTest : public testing::PathTest {
 protected:
  void TearDown() override {
    kdp::testing::ResetFreeDiskSpace();
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
};

TEST_F(FolderStorageTest, SaveLoadRoundTripAndFolderCreation) {
  IdentObj bytes("\x00\x01\x02\xFF", 4);
  CertInfo record = Record("C:\\Keys\\new\\deeper\\a.bin", &bytes);
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(Read(C("Keys/new/deeper/a.bin")), std::string("\x00\x01\x02\xFF", 4));
  EXPECT_TRUE(IsExist(&record));

  IdentObj loaded;
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

}  // namespace
}  // namespace keydepot
