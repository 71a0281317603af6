// Reading and writing a whole file, on the layer's own primitives (every
// platform).
#include "whole_file.h"

#include "kdplatform/errors.h"

namespace kdp {

DWORD ReadWholeFile(const std::string& path, std::uint64_t maxSize, WipedBytes* content, FileInfo* described,
                    unsigned flags) {
  // Size and bytes from one handle: a concurrent replacement swaps the name
  // to a new file, never the bytes of this one.
  FileHandle file;
  FileInfo info;
  if (const DWORD error = OpenFile(path, kOpenRead | flags, &file, Access::kOwnerOnly, &info)) return error;
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

DWORD detail::WriteSyncClose(FileHandle* file, const void* data, std::size_t size) {
  if (const DWORD error = WriteAll(file->Get(), data, size)) return error;
  if (const DWORD error = SyncFile(file->Get())) return error;
  return file->Close();
}

DWORD detail::WriteInPlace(const std::string& path, const void* data, std::size_t size) {
  FileHandle file;
  if (const DWORD error = OpenFile(path, kOpenWrite | kOpenTruncate, &file)) return error;
  return WriteSyncClose(&file, data, size);
}

}  // namespace kdp
