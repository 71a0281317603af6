// The free-space test hooks (kdplatform/testing.h) on Windows. Code asks the
// system's GetDiskFreeSpaceA; a test that fakes it redirects the import of
// that function in the module this static layer is linked into
// (kdplatform/import_redirect.h) to a stand-in here, which answers for the
// faked folders and asks the system about the others.
#include "kdplatform/import_redirect.h"
#include "kdplatform/testing.h"
#include "kdplatform/win32.h"

#include "../free_space_fake.h"
#include "../../free_space.h"

#include <mutex>

namespace {

using FreeSpaceFunction = BOOL(WINAPI*)(LPCSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD);
using kdp::testing::detail::FreeSpaceFake;
using kdp::testing::detail::FreeSpaceHook;

// The folder a fake is limited to (volume and file index), or none.
std::mutex g_folderMutex;
bool g_fakeOneFolder = false;
BY_HANDLE_FILE_INFORMATION g_fakeFolder{};
FreeSpaceFunction g_system = nullptr;

// Which file `path` names: the volume and the index of the file on it.
bool Identify(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, info) != FALSE;
  CloseHandle(file);
  return known;
}

bool IsFakedFolder(const char* root) {
  const std::lock_guard<std::mutex> lock(g_folderMutex);
  if (!g_fakeOneFolder) return true;
  BY_HANDLE_FILE_INFORMATION info{};
  return Identify(root && *root ? root : ".", &info) &&
         info.dwVolumeSerialNumber == g_fakeFolder.dwVolumeSerialNumber &&
         info.nFileIndexHigh == g_fakeFolder.nFileIndexHigh && info.nFileIndexLow == g_fakeFolder.nFileIndexLow;
}

BOOL WINAPI StandIn(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                    LPDWORD totalClusters) {
  const FreeSpaceFake fake = kdp::testing::detail::ArmedFreeSpaceFake();
  FreeSpaceHook hook = fake.hook;
  if (hook == FreeSpaceHook::kFake && !IsFakedFolder(root)) hook = FreeSpaceHook::kNone;
  if (hook == FreeSpaceHook::kFail) {
    SetLastError(fake.error);
    return FALSE;
  }
  if (hook == FreeSpaceHook::kNone)
    return g_system(root, sectorsPerCluster, bytesPerSector, freeClusters, totalClusters);
  kdp::detail::ReportFreeSpace(fake.freeBytes, fake.freeBytes, sectorsPerCluster, bytesPerSector, freeClusters,
                               totalClusters);
  return TRUE;
}

// Points this module's import of GetDiskFreeSpaceA at StandIn, once.
void Redirect() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_system = kdp::ProcAs<FreeSpaceFunction>(
        kdp::testing::RedirectImport("GetDiskFreeSpaceA", kdp::ProcAs<FARPROC>(&StandIn)));
  });
}

}  // namespace

namespace kdp::testing {

void FakeFreeDiskSpace(std::uint64_t freeBytes) {
  Redirect();
  {
    const std::lock_guard<std::mutex> lock(g_folderMutex);
    g_fakeOneFolder = false;
  }
  detail::ArmFreeSpaceFake({FreeSpaceHook::kFake, freeBytes, 0});
}

void FakeFreeDiskSpace(std::uint64_t freeBytes, const std::string& folder) {
  Redirect();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!Identify(folder.c_str(), &info)) return;
  {
    const std::lock_guard<std::mutex> lock(g_folderMutex);
    g_fakeFolder = info;
    g_fakeOneFolder = true;
  }
  detail::ArmFreeSpaceFake({FreeSpaceHook::kFake, freeBytes, 0});
}

void FailFreeDiskSpace(DWORD error) {
  Redirect();
  detail::ArmFreeSpaceFake({FreeSpaceHook::kFail, 0, error});
}

void ResetFreeDiskSpace() { detail::ArmFreeSpaceFake({}); }

}  // namespace kdp::testing
