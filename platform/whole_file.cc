// Reading a whole file, on the layer's own primitives (every platform).
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"

namespace kdp {

DWORD ReadWholeFile(const std::string& path, std::uint64_t maxSize, WipedBytes* content, FileInfo* described) {
  // Size and bytes from one handle: a concurrent replacement swaps the name
  // to a new file, never the bytes of this one.
  FileHandle file;
  FileInfo info;
  if (const DWORD error = OpenFile(path, kOpenRead, &file, Access::kOwnerOnly, &info)) return error;
  if (info.kind != FileKind::kFile) return ERROR_ACCESS_DENIED;
  if (info.size > maxSize || info.size > SIZE_MAX) return ERROR_FILE_TOO_LARGE;
  WipedBytes bytes(static_cast<std::size_t>(info.size));
  std::size_t done = 0;
  if (const DWORD error = ReadAll(file.Get(), bytes.data(), bytes.size(), &done)) return error;
  if (done != bytes.size()) return ERROR_READ_FAULT;
  *content = std::move(bytes);
  if (described) *described = info;
  return 0;
}

}  // namespace kdp
