// Free space of the file system behind a root, in the Win32 shape
// (free_space_fake.h); tests may fake it (kdplatform/testing.h).
#include "kdplatform/native_path.h"
#include "kdplatform/testing.h"
#include "kdplatform/win32.h"

#include "kdplatform/errno_map.h"

#include "../free_space_fake.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace {

using kdp::detail::FreeSpaceFake;
using kdp::detail::FreeSpaceHook;

// The folder a fake is limited to (device and inode), or none.
std::atomic<bool> g_fakeOneFolder{false};
std::atomic<dev_t> g_fakeDevice{0};
std::atomic<ino_t> g_fakeInode{0};

bool IsFakedFolder(const std::string& native) {
  if (!g_fakeOneFolder) return true;
  struct stat st {};
  return ::stat(native.c_str(), &st) == 0 && st.st_dev == g_fakeDevice && st.st_ino == g_fakeInode;
}

}  // namespace

namespace kdp::testing {

void FakeFreeDiskSpace(std::uint64_t freeBytes) {
  g_fakeOneFolder = false;
  detail::ArmFreeSpaceFake({FreeSpaceHook::kFake, freeBytes, 0});
}

void FakeFreeDiskSpace(std::uint64_t freeBytes, const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return;
  g_fakeDevice = st.st_dev;
  g_fakeInode = st.st_ino;
  g_fakeOneFolder = true;
  detail::ArmFreeSpaceFake({FreeSpaceHook::kFake, freeBytes, 0});
}

void FailFreeDiskSpace(DWORD error) { detail::ArmFreeSpaceFake({FreeSpaceHook::kFail, 0, error}); }

void ResetFreeDiskSpace() { detail::ArmFreeSpaceFake({}); }

}  // namespace kdp::testing

extern "C" BOOL WINAPI GetDiskFreeSpaceA(LPCSTR rootPathName, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                         LPDWORD numberOfFreeClusters, LPDWORD totalNumberOfClusters) {
  std::string native = ".";
  if (rootPathName && *rootPathName && !kdp::ToNativePath(rootPathName, &native)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }

  std::uint64_t freeBytes = 0, totalBytes = 0;
  const FreeSpaceFake fake = kdp::detail::ArmedFreeSpaceFake();
  FreeSpaceHook hook = fake.hook;
  if (hook == FreeSpaceHook::kFake && !IsFakedFolder(native)) hook = FreeSpaceHook::kNone;
  switch (hook) {
    case FreeSpaceHook::kFail: SetLastError(fake.error); return FALSE;
    case FreeSpaceHook::kFake: freeBytes = totalBytes = fake.freeBytes; break;
    case FreeSpaceHook::kNone: {
      struct statvfs info {};
      if (statvfs(native.c_str(), &info) != 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : kdp::Win32ErrorFromErrno(errno));
        return FALSE;
      }
      freeBytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
      totalBytes = static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
      break;
    }
  }
  kdp::detail::ReportFreeSpace(freeBytes, totalBytes, sectorsPerCluster, bytesPerSector, numberOfFreeClusters,
                               totalNumberOfClusters);
  return TRUE;
}
