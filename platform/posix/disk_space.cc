// Free space of the file system behind a root, in the Win32 shape: clusters
// of 8 sectors of 512 bytes, counts saturated at 32 bits.
#include "kdplatform/native_path.h"
#include "kdplatform/testing.h"
#include "kdplatform/win32.h"

#include "kdplatform/errno_map.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace {

constexpr DWORD kSectorsPerCluster = 8;
constexpr DWORD kBytesPerSector = 512;
constexpr std::uint64_t kClusterBytes = kSectorsPerCluster * kBytesPerSector;

enum class Hook { kNone, kFake, kFail };
std::atomic<Hook> g_hook{Hook::kNone};
std::atomic<std::uint64_t> g_fakeFreeBytes{0};
std::atomic<DWORD> g_fakeError{0};
// The folder a fake is limited to (device and inode), or none.
std::atomic<bool> g_fakeOneFolder{false};
std::atomic<dev_t> g_fakeDevice{0};
std::atomic<ino_t> g_fakeInode{0};

bool IsFakedFolder(const std::string& native) {
  if (!g_fakeOneFolder) return true;
  struct stat st {};
  return ::stat(native.c_str(), &st) == 0 && st.st_dev == g_fakeDevice && st.st_ino == g_fakeInode;
}

DWORD Clusters(std::uint64_t bytes) {
  const std::uint64_t clusters = bytes / kClusterBytes;
  return clusters > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(clusters);
}

void Store(LPDWORD out, DWORD value) {
  if (out) *out = value;
}

}  // namespace

namespace kdp::testing {

void FakeFreeDiskSpace(std::uint64_t freeBytes) {
  g_fakeFreeBytes = freeBytes;
  g_fakeOneFolder = false;
  g_hook = Hook::kFake;
}

void FakeFreeDiskSpace(std::uint64_t freeBytes, const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return;
  g_fakeFreeBytes = freeBytes;
  g_fakeDevice = st.st_dev;
  g_fakeInode = st.st_ino;
  g_fakeOneFolder = true;
  g_hook = Hook::kFake;
}

void FailFreeDiskSpace(DWORD error) {
  g_fakeError = error;
  g_hook = Hook::kFail;
}

void ResetFreeDiskSpace() { g_hook = Hook::kNone; }

}  // namespace kdp::testing

extern "C" BOOL WINAPI GetDiskFreeSpaceA(LPCSTR rootPathName, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                         LPDWORD numberOfFreeClusters, LPDWORD totalNumberOfClusters) {
  std::string native = ".";
  if (rootPathName && *rootPathName && !kdp::ToNativePath(rootPathName, &native)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }

  std::uint64_t freeBytes = 0, totalBytes = 0;
  Hook hook = g_hook.load();
  if (hook == Hook::kFake && !IsFakedFolder(native)) hook = Hook::kNone;
  switch (hook) {
    case Hook::kFail:
      SetLastError(g_fakeError.load());
      return FALSE;
    case Hook::kFake:
      freeBytes = totalBytes = g_fakeFreeBytes.load();
      break;
    case Hook::kNone: {
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
  Store(sectorsPerCluster, kSectorsPerCluster);
  Store(bytesPerSector, kBytesPerSector);
  Store(numberOfFreeClusters, Clusters(freeBytes));
  Store(totalNumberOfClusters, Clusters(totalBytes));
  return TRUE;
}
