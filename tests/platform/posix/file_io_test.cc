// The file-I/O layer on POSIX systems: permissions whatever the umask,
// FIFOs that never block a whole-file read, interrupted calls.
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"

#include <gtest/gtest.h>
#include <kdtest/temp_folder.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>

namespace {

using TempDir = kdtest::TempFolder;

unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

TEST(FileIo, WhatItCreatesIsTheOwnersOnlyWhateverTheUmask) {
  TempDir dir;
  for (const mode_t mask : {0000, 0277}) {
    const std::string base = dir.path() + "/" + std::to_string(mask);
    const mode_t saved = ::umask(mask);
    ASSERT_EQ(kdp::CreateFolderPath(base + "/a/b", kdp::Access::kOwnerOnly), 0u);
    kdp::FileHandle file;
    ASSERT_EQ(kdp::OpenFile(base + "/a/opened", kdp::kOpenWrite | kdp::kOpenCreate, &file), 0u);
    ASSERT_EQ(kdp::ReplaceFileAtomically(base + "/a/b/replaced", "x", 1), 0u);
    ASSERT_EQ(kdp::ReplaceFileAtomically(base + "/a/b/shared", "x", 1, kdp::Access::kShared), 0u);
    // Shared configuration: readable by all, changed by its owner alone.
    ASSERT_EQ(kdp::CreateFolderPath(base + "/a/public/conf", kdp::Access::kPublicRead), 0u);
    kdp::FileHandle list;
    ASSERT_EQ(
        kdp::OpenFile(base + "/a/public/list", kdp::kOpenWrite | kdp::kOpenCreate, &list, kdp::Access::kPublicRead),
        0u);
    ASSERT_EQ(kdp::ReplaceFileAtomically(base + "/a/public/conf/filter", "x", 1, kdp::Access::kPublicRead), 0u);
    ::umask(saved);
    EXPECT_EQ(Mode(base), 0700u) << mask;
    EXPECT_EQ(Mode(base + "/a/b"), 0700u) << mask;
    EXPECT_EQ(Mode(base + "/a/opened"), 0600u) << mask;
    EXPECT_EQ(Mode(base + "/a/b/replaced"), 0600u) << mask;
    EXPECT_EQ(Mode(base + "/a/b/shared"), 0666u & ~mask) << mask;
    EXPECT_EQ(Mode(base + "/a/public"), 0755u) << mask;
    EXPECT_EQ(Mode(base + "/a/public/conf"), 0755u) << mask;
    EXPECT_EQ(Mode(base + "/a/public/list"), 0644u) << mask;
    EXPECT_EQ(Mode(base + "/a/public/conf/filter"), 0644u) << mask;
  }
  // An existing file keeps its permissions when opened to be written.
  ::chmod((dir.path() + "/0/a/opened").c_str(), 0640);
  kdp::FileHandle file;
  ASSERT_EQ(kdp::OpenFile(dir.path() + "/0/a/opened", kdp::kOpenWrite | kdp::kOpenCreate, &file), 0u);
  EXPECT_EQ(Mode(dir.path() + "/0/a/opened"), 0640u);
  EXPECT_EQ(kdp::CreateFolderPath(dir.path() + "/0/a/opened", kdp::Access::kOwnerOnly), ERROR_ALREADY_EXISTS);
}

TEST(FileIo, AFifoNeverBlocksAWholeFileRead) {
  TempDir dir;
  // A FIFO without a writer would block a plain open forever.
  ASSERT_EQ(::mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
  kdp::WipedBytes bytes;
  EXPECT_EQ(kdp::ReadWholeFile(dir.path() + "/fifo", 10, &bytes), ERROR_ACCESS_DENIED);
}

// Input a user names (keydepot save -i) is any stream: a FIFO is read to its
// end once its writer comes, a pipe past the limit is refused.
TEST(FileIo, NamedInputReadsStreams) {
  TempDir dir;
  const std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    // Late on purpose: the reader must wait for the writer, not see an end.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ofstream(fifo) << std::string(100000, 'f');
  });
  kdp::WipedBytes bytes;
  EXPECT_EQ(kdp::ReadWholeInput(fifo, 100000, &bytes), 0u);
  writer.join();
  EXPECT_EQ(bytes.size(), 100000u);

  // More than the limit, within what a pipe holds without a reader.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const kdp::FileHandle reader(ends[0]);
  const std::string sent(20000, 'p');
  ASSERT_EQ(::write(ends[1], sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
  ::close(ends[1]);
  const std::string named = "/proc/self/fd/" + std::to_string(ends[0]);
  EXPECT_EQ(kdp::ReadWholeInput(named, 5000, &bytes), ERROR_FILE_TOO_LARGE);
  EXPECT_EQ(kdp::ReadStream(reader.Get(), 20000, &bytes), 0u);
  EXPECT_EQ(bytes.size(), 20000u - 5001u);  // the refused read took limit + 1 bytes, no more
}

TEST(FileIo, FolderListingsTellWhatEachEntryIsThroughLinks) {
  TempDir dir;
  const std::string base = dir.path();
  std::ofstream(base + "/file") << "x";
  ASSERT_EQ(::mkdir((base + "/folder").c_str(), 0700), 0);
  ASSERT_EQ(::symlink("folder", (base + "/to-folder").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", (base + "/dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo((base + "/fifo").c_str(), 0600), 0);
  std::vector<kdp::FolderEntry> entries;
  ASSERT_EQ(kdp::ListFolder(base, &entries), 0u);
  std::map<std::string, kdp::FileKind> kinds;
  for (const auto& e : entries) kinds[e.name] = e.kind;
  EXPECT_EQ(kinds, (std::map<std::string, kdp::FileKind>{{"dangling", kdp::FileKind::kOther},
                                                         {"fifo", kdp::FileKind::kOther},
                                                         {"file", kdp::FileKind::kFile},
                                                         {"folder", kdp::FileKind::kFolder},
                                                         {"to-folder", kdp::FileKind::kFolder}}));
  EXPECT_EQ(kdp::ListFolder(base + "/none", &entries), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(kdp::ListFolder(base + "/file", &entries), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(entries.size(), 5u);  // failures add nothing
}

TEST(FileIo, ReadsAndWritesGoOnAfterASignal) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  kdp::FileHandle in(pipeFds[0]), out(pipeFds[1]);
  struct sigaction action {};
  action.sa_handler = [](int) {};  // no SA_RESTART: the read fails with EINTR
  struct sigaction saved {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &saved), 0);
  const pthread_t reader = ::pthread_self();
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 5; ++i) {
      ::pthread_kill(reader, SIGUSR1);
      ::usleep(10000);
    }
    EXPECT_EQ(kdp::WriteAll(out.Get(), "abc", 3), 0u);
    while (!done) {
      ::pthread_kill(reader, SIGUSR1);
      ::usleep(1000);
    }
  });
  char buffer[3] = {};
  std::size_t got = 0;
  EXPECT_EQ(kdp::ReadAll(in.Get(), buffer, sizeof buffer, &got), 0u);
  done = true;
  writer.join();
  ::sigaction(SIGUSR1, &saved, nullptr);
  EXPECT_EQ(std::string(buffer, got), "abc");
}

}  // namespace
