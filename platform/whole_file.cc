// Reading and writing a whole file, on the layer's own primitives (every
// platform).
#include "save_steps.h"

#include "kdplatform/errors.h"
#include "kdplatform/secure_zero.h"

#include <algorithm>

namespace kdp {

namespace {

// A regular file's bytes, read through the handle its size came from: a
// concurrent replacement swaps the name to a new file, never the bytes of
// this one.
DWORD ReadRegular(const FileHandle& file, const FileInfo& info, std::uint64_t maxSize, WipedBytes* content) {
  if (info.size > maxSize || info.size > SIZE_MAX) return ERROR_FILE_TOO_LARGE;
  WipedBytes bytes(static_cast<std::size_t>(info.size));
  std::size_t done = 0;
  if (const DWORD error = ReadAll(file.Get(), bytes.data(), bytes.size(), &done)) return error;
  if (done != bytes.size()) return ERROR_READ_FAULT;
  *content = std::move(bytes);
  return 0;
}

}  // namespace

DWORD ReadWholeFile(const std::string& path, std::uint64_t maxSize, WipedBytes* content, FileInfo* described,
                    unsigned flags) {
  FileHandle file;
  FileInfo info;
  if (const DWORD error = OpenFile(path, kOpenRead | flags, &file, Access::kOwnerOnly, &info)) return error;
  if (info.kind != FileKind::kFile) return ERROR_ACCESS_DENIED;
  if (const DWORD error = ReadRegular(file, info, maxSize, content)) return error;
  if (described) *described = info;
  return 0;
}

DWORD ReadStream(NativeFile file, std::uint64_t maxSize, WipedBytes* content) {
  WipedBytes bytes;
  std::uint8_t chunk[65536];
  DWORD error = 0;
  for (;;) {
    const std::uint64_t left = maxSize - std::min<std::uint64_t>(maxSize, bytes.size());
    // One byte past the limit tells an oversize stream from one that ends there.
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, left + 1));
    std::size_t got = 0;
    if ((error = ReadSome(file, chunk, want, &got)) != 0 || got == 0) break;
    if (got > left) {
      error = ERROR_FILE_TOO_LARGE;
      break;
    }
    bytes.Append(chunk, got);
  }
  SecureZeroMemory(chunk, sizeof chunk);
  if (error == 0) *content = std::move(bytes);
  return error;
}

DWORD ReadWholeInput(const std::string& path, std::uint64_t maxSize, WipedBytes* content) {
  FileHandle file;
  FileInfo info;
  if (const DWORD error = OpenFile(path, kOpenRead | kOpenWaitForWriter, &file, Access::kOwnerOnly, &info)) {
    FileInfo named;
    const bool folder = error == ERROR_ACCESS_DENIED && QueryFile(path, &named) == 0 && named.kind == FileKind::kFolder;
    return folder ? ERROR_DIRECTORY : error;
  }
  if (info.kind == FileKind::kFile) return ReadRegular(file, info, maxSize, content);
  return ReadStream(file.Get(), maxSize, content);
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
