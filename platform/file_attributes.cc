// File attributes from stat. Linux has no hidden, system or archive bits;
// a file the process cannot write is read-only.
#include "kdplatform/native_path.h"
#include "kdplatform/win32.h"

#include "errno_map.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

DWORD Fail(DWORD error) {
  SetLastError(error);
  return INVALID_FILE_ATTRIBUTES;
}

// Win32 tells a missing file in an existing folder from a missing folder.
DWORD MissingError(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const std::size_t slash = trimmed.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : trimmed.substr(0, slash));
  struct stat st {};
  return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
  if (!fileName) return Fail(ERROR_INVALID_PARAMETER);
  std::string native;
  if (!kdp::ToNativePath(fileName, &native)) return Fail(ERROR_PATH_NOT_FOUND);
  if (native.empty()) return Fail(ERROR_FILE_NOT_FOUND);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0) {
    if (errno == ENOENT) return Fail(MissingError(native));
    if (errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND);
    return Fail(kdp::detail::Win32ErrorFromErrno(errno));
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  // FILE_ATTRIBUTE_NORMAL is valid only alone, so a read-only file has
  // FILE_ATTRIBUTE_READONLY instead of it.
  return access(native.c_str(), W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}
