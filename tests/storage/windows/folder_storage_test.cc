// The folder back-end on Windows: what a save does with what is already at
// the item's path (docs/platform.md, "Files"; docs/windows.md).
#include "../folder_test_support.h"

namespace keydepot {
namespace {

namespace fs = std::filesystem;
using FolderStorageWindowsTest = testing::FolderStorageTest;

TEST_F(FolderStorageWindowsTest, SaveDoesWhatWritingTheFileWouldDo) {
  // A read-only file is refused, as writing it would be, and left as it is.
  std::ofstream(C("Keys/ro.bin")) << "old";
  ASSERT_TRUE(SetFileAttributesA(C("Keys/ro.bin").string().c_str(), FILE_ATTRIBUTE_READONLY));
  IdentObj data("new", 3);
  CertInfo record = Record(P("Keys\\ro.bin"), &data);
  SetLastError(0);
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_SHORT_WRITE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(CRYPT_E_FILE_ERROR));
  EXPECT_EQ(Read(C("Keys/ro.bin")), "old");
  SetFileAttributesA(C("Keys/ro.bin").string().c_str(), FILE_ATTRIBUTE_NORMAL);

  // Every name of a hard-linked file sees the new bytes.
  std::ofstream(C("Keys/target.bin")) << "old";
  ASSERT_TRUE(CreateHardLinkA(C("Keys/twin.bin").string().c_str(), C("Keys/target.bin").string().c_str(), nullptr));
  record.path = P("Keys\\target.bin");
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(Read(C("Keys/twin.bin")), "new");

  fs::remove(C("Keys/twin.bin"));

  // A folder at the item's path is refused; no temporary file is left.
  fs::create_directory(C("Keys/folder.bin"));
  record.path = P("Keys\\folder.bin");
  EXPECT_FALSE(Save(&record));
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_OPEN_FAILED);
  EXPECT_EQ(Entries(C("Keys")), 3u);  // ro.bin, target.bin, folder.bin
}

TEST_F(FolderStorageWindowsTest, DevicesAreWrittenInPlaceAndNeverLoaded) {
  IdentObj data("to nowhere", 10);
  CertInfo record = Record("NUL", &data);
  EXPECT_TRUE(Save(&record));
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), TOOERR_OPEN_FAILED);
  EXPECT_EQ(data.GetObjectSize(), 10u);
}

}  // namespace
}  // namespace keydepot
