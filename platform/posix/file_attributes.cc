// File attributes from stat. Linux has no hidden, system or archive bits;
// a file the process cannot write is read-only.
#include "kdplatform/file_io.h"
#include "kdplatform/native_path.h"
#include "kdplatform/win32.h"

#include <unistd.h>

#include <string>

namespace {

DWORD Fail(DWORD error) {
  SetLastError(error);
  return INVALID_FILE_ATTRIBUTES;
}

}  // namespace

DWORD WINAPI kdp::GetFileAttributesA(LPCSTR fileName) {
  if (!fileName) return Fail(ERROR_INVALID_PARAMETER);
  std::string native;
  if (!kdp::ToNativePath(fileName, &native)) return Fail(ERROR_PATH_NOT_FOUND);
  if (native.empty()) return Fail(ERROR_FILE_NOT_FOUND);
  kdp::FileInfo info;
  if (const DWORD error = kdp::QueryFile(native, &info)) return Fail(error);
  if (info.kind == kdp::FileKind::kFolder) return FILE_ATTRIBUTE_DIRECTORY;
  // FILE_ATTRIBUTE_NORMAL is valid only alone, so a read-only file has
  // FILE_ATTRIBUTE_READONLY instead of it.
  return access(native.c_str(), W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}
