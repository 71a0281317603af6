// The folder back-end on every system: round trips, folder creation, room,
// failing disk steps, saves that are killed.
#include "folder_test_support.h"

#include <kdtest/drives.h>
#include <kdtest/process.h>

#include <chrono>

namespace keydepot {
namespace {

namespace fs = std::filesystem;
using testing::FolderStorageTest;

TEST_F(FolderStorageTest, SaveLoadRoundTripAndFolderCreation) {
  IdentObj bytes("\x00\x01\x02\xFF", 4);
  CertInfo record = Record(P("Keys\\new\\deeper\\a.bin"), &bytes);
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(Read(C("Keys/new/deeper/a.bin")), std::string("\x00\x01\x02\xFF", 4));
  EXPECT_TRUE(IsExist(&record));

  IdentObj loaded("a longer item loaded before", 27);  // its block is read into
  record.data = &loaded;
  ASSERT_TRUE(Load(&record));
  EXPECT_TRUE(loaded == bytes);
  EXPECT_EQ(std::string(GetStorageName(record.path.c_str())), P("Keys\\new\\deeper\\"));
  EXPECT_EQ(GetDeviceID(record.path.c_str()).GetObjectSize(), 0u);

  // No temporary file is left beside the item.
  EXPECT_EQ(std::distance(fs::directory_iterator(C("Keys/new/deeper")), fs::directory_iterator()), 1);
  ASSERT_TRUE(Clear(&record));
  EXPECT_FALSE(fs::exists(C("Keys/new/deeper/a.bin")));
  EXPECT_TRUE(Clear(&record));  // nothing to delete
}

TEST_F(FolderStorageTest, LoadFailures) {
  IdentObj data("keep", 4);
  CertInfo record = Record(P("Keys\\missing.bin"), &data);
  SetLastError(0);
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_FILE_MISSING);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(data.GetObjectSize(), 4u);  // untouched

  Touch(C("Keys/empty.bin"));
  std::ofstream(C("Keys/empty.bin"), std::ios::trunc).close();
  record.path = P("Keys\\empty.bin");
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
  CertInfo record = Record(P("Keys\\a.bin"), &old);
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
  CertInfo record = Record(P("Keys\\plain\\sub\\a.bin"), &data);
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

TEST_F(FolderStorageTest, FailingDiskStepsLeaveTheOldItemAndNoTemporaryFile) {
  IdentObj old("old!", 4);
  CertInfo record = Record(P("Keys\\a.bin"), &old);
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
  std::ofstream(C("Keys/huge.bin")).close();
  fs::resize_file(C("Keys/huge.bin"), 4ull << 30);  // where the file system can, sparse: no room taken
  IdentObj data("keep", 4);
  CertInfo record = Record(P("Keys\\huge.bin"), &data);
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
  CertInfo record = Record(P("Keys\\new\\deeper\\a.bin"), &data);
  EXPECT_EQ(GetSize(&record), 8192u);
  record.path = (C("Keys") / "a.bin").string();  // no drive letter
  EXPECT_EQ(GetSize(&record), 8192u);
  record.path = "Q:\\unmapped\\a.bin";
  EXPECT_EQ(GetSize(&record), 0u);

  // A folder named without its final separator (a mount point) is measured
  // as itself, not as the folder above it.
  fs::create_directories(C("Keys/mnt"));
  kdp::testing::FakeFreeDiskSpace(4096, C("Keys/mnt").string());
  record.path = P("Keys\\mnt");
  EXPECT_EQ(GetSize(&record), 4096u);
  record.path = P("Keys\\mnt\\");
  EXPECT_EQ(GetSize(&record), 4096u);
}

// keydepot save replaces the item through the same back-end, and is killed
// at moments spread over the later half of the time one whole save takes
// (most of the rest is the program's start, on Windows above all).
TEST_F(FolderStorageTest, AnInterruptedSaveKeepsTheOldItemWhole) {
  const std::string oldText(1000, 'o');
  IdentObj old(oldText.data(), static_cast<DWORD>(oldText.size()));
  CertInfo record = Record(P("Keys\\item.bin"), &old);
  ASSERT_TRUE(Save(&record));
  const std::string newText(16u << 20, 'n');
  const std::string input = C("new.bin").string();
  std::ofstream(input, std::ios::binary) << newText;

  using Clock = std::chrono::steady_clock;
  const auto save = [&](std::optional<Clock::duration> killAfter) {
    kdtest::ProcessOptions options;
    const Clock::time_point start = Clock::now();
    if (killAfter) options.killWhen = [&] { return Clock::now() - start >= *killAfter; };
    return kdtest::RunProcess(kdtest::BuildMachinePath(KEYDEPOT_CLI), {"save", record.path, "-i", input}, options);
  };
  const Clock::time_point start = Clock::now();
  const kdtest::ProcessResult whole = save(std::nullopt);
  ASSERT_EQ(whole.code, 0) << whole.err;
  const Clock::duration saving = Clock::now() - start;
  ASSERT_EQ(Read(C("Keys/item.bin")), newText);
  for (int round = 1; round <= 4; ++round) {
    ASSERT_TRUE(Save(&record));
    save(saving * (5 + round) / 10);
    const std::string now = Read(C("Keys/item.bin"));
    // Either the old item or the whole new one; never a mixture or a part.
    EXPECT_TRUE(now == oldText || now == newText) << "torn item of " << now.size() << " bytes in round " << round;
  }
}

}  // namespace
}  // namespace keydepot
