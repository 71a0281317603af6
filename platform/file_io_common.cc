// The parts of the file-I/O layer built on its own primitives, the same on
// every system.
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"

#include "folders.h"

#include <utility>

namespace kdp {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = other.Release();
  }
  return *this;
}

NativeFile FileHandle::Release() noexcept { return std::exchange(file_, kNoFile); }

DWORD ReadAll(NativeFile file, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  while (*done < size) {
    std::size_t n = 0;
    if (const DWORD error = ReadSome(file, static_cast<char*>(buffer) + *done, size - *done, &n)) return error;
    if (n == 0) break;
    *done += n;
  }
  return 0;
}

DWORD CreateFolderPath(const std::string& path, Access access) {
  FileInfo info;
  if (QueryFile(path, &info) == 0) return info.kind == FileKind::kFolder ? 0 : ERROR_ALREADY_EXISTS;
  const std::string parent = detail::ParentOf(path);
  if (parent != path && parent != ".") {
    if (const DWORD error = CreateFolderPath(parent, access)) return error;
  }
  const DWORD error = CreateFolder(path, access);
  // Another process may have made it meanwhile.
  if (error == ERROR_ALREADY_EXISTS && QueryFile(path, &info) == 0 && info.kind == FileKind::kFolder) return 0;
  return error;
}

}  // namespace kdp
