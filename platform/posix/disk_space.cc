// Free space of the file system behind a root, in the Win32 shape
// (free_space.h); a test program may answer instead (system_seam.h).
#include "kdplatform/native_path.h"
#include "kdplatform/win32.h"

#include "kdplatform/errno_map.h"

#include "../free_space.h"
#include "../system_seam.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <string>

BOOL WINAPI kdp::GetDiskFreeSpaceA(LPCSTR rootPathName, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                   LPDWORD numberOfFreeClusters, LPDWORD totalNumberOfClusters) {
  std::string native = ".";
  if (rootPathName && *rootPathName && !kdp::ToNativePath(rootPathName, &native)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }

  std::uint64_t freeBytes = 0, totalBytes = 0;
  const kdp::detail::SystemSeam* seam = kdp::detail::ProgramSeam();
  DWORD error = 0;
  const int answered = seam && seam->freeSpace ? seam->freeSpace(native.c_str(), &freeBytes, &error) : 0;
  if (answered < 0) {
    SetLastError(error);
    return FALSE;
  }
  if (answered > 0) {
    totalBytes = freeBytes;
  } else {
    struct statvfs info {};
    if (statvfs(native.c_str(), &info) != 0) {
      SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : kdp::Win32ErrorFromErrno(errno));
      return FALSE;
    }
    freeBytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    totalBytes = static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
  }
  kdp::detail::ReportFreeSpace(freeBytes, totalBytes, sectorsPerCluster, bytesPerSector, numberOfFreeClusters,
                               totalNumberOfClusters);
  return TRUE;
}
