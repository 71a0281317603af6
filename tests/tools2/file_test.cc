// CTOOFile and CTOOFolder through drive K: and either separator.
#include "temp_folder.h"

#include <tools2/errors.h>
#include <tools2/file.h>
#include <tools2/folder.h>

#include <kdplatform/win32.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using CTOOFileTest = TempFolderTest;
using CTOOFolderTest = TempFolderTest;

TEST_F(CTOOFileTest, WriteThenReadCountsBytesThroughADriveLetterAndBackslashes) {
  std::filesystem::create_directory(Native("keys"));
  const char payload[] = {'k', '\0', 'e', 'y'};
  {
    CTOOFile out(K("keys\\a.bin").c_str(), "wb");
    ASSERT_EQ(out.Status(), 0);
    EXPECT_EQ(out.Write(payload, sizeof payload), sizeof payload);
  }  // closed here
  ASSERT_TRUE(std::filesystem::exists(Native("keys/a.bin")));

  XTOOFile status(false);
  EXPECT_EQ(CTOOFile::Length((k_ + "/keys\\a.bin").c_str(), status), sizeof payload);
  EXPECT_FALSE(status.IsError());

  CTOOFile in(K("keys\\a.bin").c_str(), "rb");
  ASSERT_EQ(in.Status(), 0);
  char back[16] = {};
  EXPECT_EQ(in.Read(back, sizeof back), sizeof payload);  // short: the file ends
  EXPECT_EQ(std::string(back, 4), std::string(payload, 4));
  EXPECT_EQ(in.Read(back, sizeof back), 0u);
  EXPECT_EQ(in.Write(payload, 1), 0u);  // opened for reading only
}

TEST_F(CTOOFileTest, FailedOpenIsReportedOrRaisedAndMovesNoBytes) {
  CTOOFile missing(K("nowhere\\a.bin").c_str(), "rb");
  EXPECT_EQ(missing.Status(), TOOERR_OPEN_FAILED);
  char b[4];
  EXPECT_EQ(missing.Read(b, sizeof b), 0u);
  EXPECT_EQ(missing.Write(b, sizeof b), 0u);

  EXPECT_NE(CTOOFile("Q:\\a.bin", "wb").Status(), 0);         // unmapped drive
  EXPECT_NE(CTOOFile(Native("x").c_str(), "q").Status(), 0);  // bad mode
  EXPECT_NE(CTOOFile(nullptr, "rb").Status(), 0);
  EXPECT_NE(CTOOFile(Native("x").c_str(), nullptr).Status(), 0);

  try {
    CTOOFile raised(K("nowhere\\a.bin").c_str(), "rb", true);
    ADD_FAILURE() << "no exception";
  } catch (const XTOOFile& e) {
    EXPECT_EQ(e.Status(), TOOERR_OPEN_FAILED);
  }
}

TEST_F(CTOOFileTest, ExistenceAndAttributesOfFilesFoldersAndMissingPaths) {
  std::filesystem::create_directory(Native("dir"));
  MakeFile("dir/f.txt", "x");
  EXPECT_TRUE(CTOOFile::IsExists(K("dir").c_str()));
  EXPECT_TRUE(CTOOFile::IsExists(K("dir\\f.txt").c_str()));
  EXPECT_FALSE(CTOOFile::IsExists(K("dir\\g.txt").c_str()));
  EXPECT_FALSE(CTOOFile::IsExists("Q:\\dir"));
  EXPECT_FALSE(CTOOFile::IsExists(nullptr));

  XTOOFile status(false);
  EXPECT_EQ(CTOOFile::Attributes(K("dir").c_str(), status) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(CTOOFile::Attributes(K("dir\\f.txt").c_str(), status) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(status.IsError());

  EXPECT_EQ(CTOOFile::Attributes(K("dir\\g.txt").c_str(), status), 0u);
  EXPECT_EQ(status.Status(), TOOERR_FILE_MISSING);
  EXPECT_EQ(TooErr2WinErr(status.Status()), ERROR_FILE_NOT_FOUND);

  status.Clear();
  EXPECT_EQ(CTOOFile::Length(K("dir").c_str(), status), 0u);  // a folder has no length
  EXPECT_TRUE(status.IsError());
}

TEST_F(CTOOFileTest, RemoveDeletesFilesAndReportsMissingOnes) {
  MakeFile("a.bin", "abc");
  XTOOFile status(false);
  EXPECT_EQ(CTOOFile::Remove(K("a.bin").c_str(), status), 0);
  EXPECT_FALSE(std::filesystem::exists(Native("a.bin")));
  EXPECT_FALSE(status.IsError());

  EXPECT_EQ(CTOOFile::Remove(K("a.bin").c_str(), status), TOOERR_FILE_MISSING);
  EXPECT_EQ(status.Status(), TOOERR_FILE_MISSING);

  XTOOFile raising(true);
  EXPECT_THROW(CTOOFile::Remove(K("a.bin").c_str(), raising), XTOOFile);
}

TEST_F(CTOOFolderTest, CreatesNestedFoldersAndAcceptsExistingOnes) {
  XTOOStatus status(0, false);
  EXPECT_TRUE(CTOOFolder::Create(K("a\\b//c\\").c_str(), status));
  EXPECT_TRUE(std::filesystem::is_directory(Native("a/b/c")));
  EXPECT_TRUE(CTOOFolder::Create(K("a\\b").c_str(), status));
  EXPECT_FALSE(status.IsError());

  MakeFile("file", "x");
  EXPECT_FALSE(CTOOFolder::Create(K("file\\sub").c_str(), status));
  EXPECT_EQ(status.Status(), TOOERR_FOLDER_NOT_CREATED);
  status.Clear();
  EXPECT_FALSE(CTOOFolder::Create("Q:\\x", status));
  EXPECT_EQ(status.Status(), TOOERR_FOLDER_NOT_CREATED);
}

}  // namespace
