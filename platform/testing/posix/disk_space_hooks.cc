// Free-space fakes on Linux: the program's stand-in (seam_export.cc) asks
// here before GetDiskFreeSpaceA asks the system.
#include "../free_space_fake.h"

#include "kdplatform/testing.h"

#include <sys/stat.h>

#include <atomic>
#include <string>

namespace {

using kdp::testing::detail::FreeSpaceFake;
using kdp::testing::detail::FreeSpaceHook;

// The folder a fake is limited to (device and inode), or none.
std::atomic<bool> g_fakeOneFolder{false};
std::atomic<dev_t> g_fakeDevice{0};
std::atomic<ino_t> g_fakeInode{0};

bool IsFakedFolder(const char* native) {
  if (!g_fakeOneFolder) return true;
  struct stat st {};
  return ::stat(native, &st) == 0 && st.st_dev == g_fakeDevice && st.st_ino == g_fakeInode;
}

}  // namespace

int kdp::testing::detail::AnswerFreeSpace(const char* folder, std::uint64_t* freeBytes, DWORD* error) {
  const FreeSpaceFake fake = kdp::testing::detail::ArmedFreeSpaceFake();
  switch (fake.hook) {
    case FreeSpaceHook::kFail: *error = fake.error; return -1;
    case FreeSpaceHook::kFake:
      if (!IsFakedFolder(folder)) return 0;
      *freeBytes = fake.freeBytes;
      return 1;
    case FreeSpaceHook::kNone: break;
  }
  return 0;
}

namespace kdp::testing {

void FakeFreeDiskSpace(std::uint64_t freeBytes) {
  g_fakeOneFolder = false;
  detail::ArmFreeSpaceFake({detail::FreeSpaceHook::kFake, freeBytes, 0});
}

void FakeFreeDiskSpace(std::uint64_t freeBytes, const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return;
  g_fakeDevice = st.st_dev;
  g_fakeInode = st.st_ino;
  g_fakeOneFolder = true;
  detail::ArmFreeSpaceFake({detail::FreeSpaceHook::kFake, freeBytes, 0});
}

void FailFreeDiskSpace(DWORD error) { detail::ArmFreeSpaceFake({detail::FreeSpaceHook::kFail, 0, error}); }

void ResetFreeDiskSpace() { detail::ArmFreeSpaceFake({}); }

}  // namespace kdp::testing
