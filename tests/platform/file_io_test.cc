// The file-I/O layer on every system: whole-file reads that never truncate,
// folders opened only on request, and the wiped buffer. Saves over links,
// special and read-only files are tested through the folder back-end
// (tests/storage).
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/testing.h"
#include "kdplatform/win32.h"

#include <gtest/gtest.h>
#include <kdtest/temp_folder.h>

#include <fstream>
#include <vector>

namespace {

using kdp::testing::FileStep;
using kdp::testing::FileStepsRun;

// A save is durable only when its syncs reach the system: the new file's and
// its folder's. Counted where the step runs its system call, so a sync that
// answers success without calling it counts nothing.
TEST(FileIo, SavesAndSyncsReachTheSystemsSync) {
  const kdtest::TempFolder dir;
  const std::string file = dir / "f";
  const std::uint64_t beforeSave = FileStepsRun(FileStep::kSync);
  ASSERT_EQ(kdp::SaveFile(file, "abc", 3), 0u);
  EXPECT_GE(FileStepsRun(FileStep::kSync) - beforeSave, 2u);

  kdp::FileHandle handle;
  ASSERT_EQ(kdp::OpenFile(file, kdp::kOpenWrite, &handle), 0u);
  const std::uint64_t beforeSync = FileStepsRun(FileStep::kSync);
  EXPECT_EQ(kdp::SyncFile(handle.Get()), 0u);
  EXPECT_EQ(FileStepsRun(FileStep::kSync) - beforeSync, 1u);
  EXPECT_EQ(kdp::SyncFolder(dir.path()), 0u);
  EXPECT_EQ(FileStepsRun(FileStep::kSync) - beforeSync, 2u);

  // A failed step never reaches the system.
  kdp::testing::FailFileStep(FileStep::kSync, ERROR_WRITE_FAULT);
  EXPECT_EQ(kdp::SyncFile(handle.Get()), static_cast<DWORD>(ERROR_WRITE_FAULT));
  EXPECT_EQ(FileStepsRun(FileStep::kSync) - beforeSync, 2u);
  EXPECT_EQ(kdp::SyncFile(handle.Get()), 0u);
}

TEST(FileIo, WholeFileReadsNeverTruncate) {
  const kdtest::TempFolder dir;
  const std::string sep(1, KDP_PATH_SEPARATOR);
  const std::string file = dir / "f";
  std::ofstream(file) << "0123456789";
  kdp::WipedBytes bytes;
  ASSERT_EQ(kdp::ReadWholeFile(file, 10, &bytes), 0u);
  EXPECT_EQ(std::string(bytes.chars(), bytes.size()), "0123456789");
  EXPECT_EQ(kdp::ReadWholeFile(file, 9, &bytes), ERROR_FILE_TOO_LARGE);
  EXPECT_EQ(kdp::ReadWholeFile(dir.path(), 10, &bytes), ERROR_ACCESS_DENIED);
  EXPECT_EQ(kdp::ReadWholeFile(dir / "none", 10, &bytes), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(kdp::ReadWholeFile(dir / ("none" + sep + "f"), 10, &bytes), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(std::string(bytes.chars(), bytes.size()), "0123456789");  // failures leave it

  // Input a user names: a folder is told as one; a stream is read to one
  // byte past the limit, so an oversize one is refused.
  EXPECT_EQ(kdp::ReadWholeInput(dir.path(), 10, &bytes), ERROR_DIRECTORY);
  ASSERT_EQ(kdp::ReadWholeInput(file, 10, &bytes), 0u);
  EXPECT_EQ(std::string(bytes.chars(), bytes.size()), "0123456789");
  EXPECT_EQ(kdp::ReadWholeInput(file, 9, &bytes), ERROR_FILE_TOO_LARGE);
  for (const std::uint64_t limit : {9u, 10u}) {
    kdp::FileHandle stream;
    ASSERT_EQ(kdp::OpenFile(file, kdp::kOpenRead, &stream), 0u);
    kdp::WipedBytes read;
    EXPECT_EQ(kdp::ReadStream(stream.Get(), limit, &read), limit == 10 ? 0u : ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(read.size(), limit == 10 ? 10u : 0u);
  }

  kdp::FileHandle folder;
  EXPECT_EQ(kdp::OpenFile(file, kdp::kOpenRead | kdp::kOpenFolder, &folder), ERROR_DIRECTORY);
  EXPECT_EQ(kdp::OpenFile(dir.path(), kdp::kOpenRead | kdp::kOpenFolder, &folder), 0u);
  EXPECT_EQ(kdp::CreateFolderPath(file, kdp::Access::kOwnerOnly), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(kdp::CreateFolderPath(dir / ("a" + sep + "b"), kdp::Access::kOwnerOnly), 0u);
  kdp::FileInfo info;
  ASSERT_EQ(kdp::QueryFile(dir / ("a" + sep + "b"), &info), 0u);
  EXPECT_EQ(info.kind, kdp::FileKind::kFolder);

  std::vector<kdp::FolderEntry> entries;
  ASSERT_EQ(kdp::ListFolder(dir.path(), &entries), 0u);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].kind == kdp::FileKind::kFile ? entries[0].name : entries[1].name, "f");
  EXPECT_EQ(kdp::ListFolder(dir / "none", &entries), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(kdp::ListFolder(file, &entries), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(entries.size(), 2u);  // failures add nothing
}

TEST(FileIo, RemoveTreeTakesAFolderWithAllItHoldsOrOneFile) {
  const kdtest::TempFolder dir;
  const std::string sep(1, KDP_PATH_SEPARATOR);
  ASSERT_EQ(kdp::CreateFolderPath(dir / ("t" + sep + "a" + sep + "b"), kdp::Access::kOwnerOnly), 0u);
  std::ofstream(dir / ("t" + sep + "a" + sep + "f")) << "x";
  std::ofstream(dir / ("t" + sep + "a" + sep + "b" + sep + "g")) << "y";
  std::ofstream(dir / "kept") << "z";
  EXPECT_EQ(kdp::RemoveTree(dir / "t"), 0u);
  EXPECT_EQ(kdp::RemoveTree(dir / "t"), 0u);  // nothing left: done
  EXPECT_EQ(kdp::RemoveTree(dir / "kept"), 0u);
  std::vector<kdp::FolderEntry> entries;
  ASSERT_EQ(kdp::ListFolder(dir.path(), &entries), 0u);
  EXPECT_TRUE(entries.empty());
}

TEST(FileIo, AFileHasANewVersionAfterEveryChange) {
  const kdtest::TempFolder dir;
  const std::string file = dir / "f";
  ASSERT_EQ(kdp::ReplaceFileAtomically(file, "ab", 2), 0u);
  kdp::FileInfo first, read, replaced, written;
  ASSERT_EQ(kdp::QueryFile(file, &first), 0u);
  EXPECT_FALSE(kdp::IsSettled(first.version)) << "changed just now";
  EXPECT_FALSE(kdp::IsSettled(kdp::FileVersion{}));
  kdp::WipedBytes bytes;
  ASSERT_EQ(kdp::ReadWholeFile(file, 10, &bytes, &read), 0u);
  EXPECT_EQ(read.version, first.version);
  // Same size, same second: a replaced file is another file.
  ASSERT_EQ(kdp::ReplaceFileAtomically(file, "cd", 2), 0u);
  ASSERT_EQ(kdp::QueryFile(file, &replaced), 0u);
  EXPECT_NE(replaced.version, first.version);
  std::ofstream(file, std::ios::app) << "e";
  ASSERT_EQ(kdp::QueryFile(file, &written), 0u);
  EXPECT_NE(written.version, replaced.version);
}

TEST(FileIo, WipedBytesGrowAndShrinkKeepingTheirBytes) {
  kdp::WipedBytes bytes;
  std::string expected;
  for (int i = 0; i < 100; ++i) {
    const std::string piece(static_cast<std::size_t>(i), static_cast<char>('a' + i % 26));
    bytes.Append(piece.data(), piece.size());
    expected += piece;
  }
  EXPECT_EQ(std::string(bytes.chars(), bytes.size()), expected);
  bytes.Truncate(5);
  kdp::WipedBytes moved = std::move(bytes);
  EXPECT_EQ(std::string(moved.chars(), moved.size()), expected.substr(0, 5));
  EXPECT_TRUE(bytes.empty());
  moved.Clear();
  EXPECT_EQ(moved.data(), nullptr);
}

}  // namespace
