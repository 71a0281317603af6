// Drive types: letters come from the drive mapping (drive_map.h); a Linux
// folder is on a fixed drive.
#include "kdplatform/win32.h"

#include "drive_map.h"

#include <sys/stat.h>

#include <cstring>

namespace {

// "X:", "X:\" or "X:/" exactly.
bool IsDriveRoot(const char* path) {
  return kdp::detail::HasDriveLetter(path) &&
         (path[2] == '\0' || ((path[2] == '\\' || path[2] == '/') && path[3] == '\0'));
}

}  // namespace

UINT WINAPI kdp::GetDriveTypeA(LPCSTR rootPathName) {
  if (!rootPathName) return DRIVE_FIXED;
  if (kdp::detail::HasDriveLetter(rootPathName)) {
    if (!IsDriveRoot(rootPathName)) return DRIVE_NO_ROOT_DIR;
    const auto drive = kdp::detail::LookUpDrive(rootPathName[0]);
    return drive ? drive->type : DRIVE_NO_ROOT_DIR;
  }
  struct stat st {};
  if ((rootPathName[0] == '/' || rootPathName[0] == '\\') && stat(rootPathName, &st) == 0 && S_ISDIR(st.st_mode)) {
    return DRIVE_FIXED;
  }
  return DRIVE_NO_ROOT_DIR;
}
