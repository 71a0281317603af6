#include "tools2/folder.h"

#include "tools2/errors.h"

#include <kdplatform/file_io.h>
#include <kdplatform/native_path.h>
#include <kdplatform/win32.h>

#include <string>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Whether the native path `path` is `folder` or lies in it (letter case
// ignored, as on Windows; elsewhere this only widens the match).
bool IsWithin(const std::string& path, std::string folder) {
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
  if (folder.empty() || path.size() < folder.size()) return false;
  if (path.size() > folder.size() && !IsSeparator(path[folder.size()]) && !IsSeparator(folder.back())) return false;
  const std::string head = path.substr(0, folder.size());
  return _mbsicmp(reinterpret_cast<const unsigned char*>(head.c_str()),
                  reinterpret_cast<const unsigned char*>(folder.c_str())) == 0;
}

// Folders made in the machine's shared application-data folder are every
// user's to read and their maker's and the administrators' to change,
// whatever that folder passes on (Windows' ProgramData lets every user add
// files to what is made in it). Elsewhere a folder takes what its parent
// and the umask give.
kdp::Access AccessFor(const std::string& native) {
  char shared[MAX_PATH] = {};
  std::string sharedNative;
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, shared)) ||
      !kdp::ToNativePath(shared, &sharedNative)) {
    return kdp::Access::kShared;
  }
  return IsWithin(native, sharedNative) ? kdp::Access::kPublicRead : kdp::Access::kShared;
}

}  // namespace

bool CTOOFolder::Create(const char* path, XTOOStatus& status) {
  std::string native;
  if (path == nullptr || *path == '\0' || !kdp::ToNativePath(path, &native) ||
      kdp::CreateFolderPath(native, AccessFor(native)) != 0) {
    status.SetError(TOOERR_FOLDER_NOT_CREATED);
    return false;
  }
  return true;
}
