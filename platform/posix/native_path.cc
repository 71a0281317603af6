// Windows-style paths to Linux paths through the drive mapping.
#include "kdplatform/native_path.h"

#include "drive_map.h"

#include <algorithm>

namespace kdp {

bool ToNativePath(const char* path, std::string* native) {
  if (!path || !native) return false;
  std::string result;
  std::string rest;
  if (detail::HasDriveLetter(path)) {
    const auto drive = detail::LookUpDrive(path[0]);
    if (!drive) return false;
    result = drive->folder;
    rest = path + 2;
    std::replace(rest.begin(), rest.end(), '\\', '/');
    // "X:name" and "X:\name" both name an entry of the drive's root folder.
    const bool folderEnds = !result.empty() && result.back() == '/';
    const bool restStarts = !rest.empty() && rest.front() == '/';
    if (folderEnds && restStarts) {
      rest.erase(0, 1);
    } else if (!folderEnds && !restStarts && !rest.empty()) {
      result += '/';
    }
    result += rest;
  } else {
    result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
  }
  *native = std::move(result);
  return true;
}

}  // namespace kdp
