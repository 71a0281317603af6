#include "tools2/folder.h"

#include "tools2/errors.h"

#include <kdplatform/native_path.h>

#include <cerrno>
#include <string>
#include <sys/stat.h>

namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeOne(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) {
    return true;
  }
  // Someone else may have made it meanwhile; a file of that name is a failure.
  return errno == EEXIST && IsFolder(path);
}

}  // namespace

bool CTOOFolder::Create(const char* path, XTOOStatus& status) {
  std::string native;
  if (path == nullptr || *path == '\0' || !kdp::ToNativePath(path, &native)) {
    status.SetError(TOOERR_FOLDER_NOT_CREATED);
    return false;
  }
  if (!IsFolder(native)) {
    // Each prefix that ends before a separator, then the whole path.
    for (std::size_t pos = native.find('/', 1); ; pos = native.find('/', pos + 1)) {
      const std::string prefix = native.substr(0, pos);
      if (!prefix.empty() && prefix.back() != '/' && !IsFolder(prefix) && !MakeOne(prefix)) {
        status.SetError(TOOERR_FOLDER_NOT_CREATED);
        return false;
      }
      if (pos == std::string::npos) {
        break;
      }
    }
  }
  return true;
}
