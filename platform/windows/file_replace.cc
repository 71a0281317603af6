// Whole-file saves on Windows: a temporary file beside the target, flushed
// and renamed over it with MOVEFILE_WRITE_THROUGH (which returns once the
// rename is on the disk); ReplaceFileA where the replaced file's access list
// and attributes must stay, as a POSIX save keeps permission bits.
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/win32.h"

#include "../file_faults.h"
#include "../temporary_name.h"
#include "../whole_file.h"
#include "../folders.h"

#include <string>

namespace kdp {
namespace {

// The temporary file beside `target`, removed unless it was renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : folder_(detail::ParentOf(target)) {}
  ~TemporaryFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // A new file with a random name.
  DWORD Create(Access access) { return detail::CreateTemporaryFile(folder_, access, &file_, &path_); }

  DWORD Fill(const void* data, std::size_t size) { return detail::WriteSyncClose(&file_, data, size); }

  // keep: the target exists, and its access list and attributes go to the
  // new file.
  DWORD Commit(const std::string& target, bool keep) {
    if (const DWORD fault = detail::InjectedFileFault(testing::FileStep::kRename)) return fault;
    const BOOL moved =
        keep ? ReplaceFileA(target.c_str(), path_.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
             : MoveFileExA(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!moved) return GetLastError();
    path_.clear();
    return SyncFolder(folder_);
  }

 private:
  std::string folder_;
  std::string path_;
  FileHandle file_;
};

DWORD Replace(const std::string& target, const void* data, std::size_t size, Access access, bool keep) {
  TemporaryFile temporary(target);
  if (const DWORD error = temporary.Create(access)) return error;
  if (const DWORD error = temporary.Fill(data, size)) return error;
  return temporary.Commit(target, keep);
}

// What a symbolic link or junction at `path` leads to; `path` itself when it
// is none.
DWORD FollowLinks(const std::string& path, HANDLE opened, std::string* target) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    *target = path;
    return 0;
  }
  std::string final(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleA(opened, final.data(), static_cast<DWORD>(final.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return GetLastError();
    if (length < final.size()) {
      final.resize(length);
      break;
    }
    final.resize(length + 1);
  }
  // "\\?\C:\x" names C:\x; "\\?\UNC\server\share" names \\server\share.
  if (final.rfind("\\\\?\\UNC\\", 0) == 0) {
    final = "\\\\" + final.substr(8);
  } else if (final.rfind("\\\\?\\", 0) == 0) {
    final.erase(0, 4);
  }
  *target = std::move(final);
  return 0;
}

}  // namespace

DWORD ReplaceFileAtomically(const std::string& target, const void* data, std::size_t size, Access access) {
  return Replace(target, data, size, access, false);
}

DWORD SaveFile(const std::string& path, const void* data, std::size_t size) {
  // Opened for nothing but a look: links followed, folders too.
  const HANDLE opened = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? Replace(path, data, size, Access::kOwnerOnly, false) : error;
  }
  FileHandle existing(reinterpret_cast<NativeFile>(opened));
  // Devices (NUL, COM1) are written, never replaced by a file.
  if (GetFileType(opened) != FILE_TYPE_DISK) return detail::WriteInPlace(path, data, size);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(opened, &info)) return GetLastError();
  // A folder, and a read-only file, which Windows refuses to write even to
  // administrators.
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  std::string target;
  if (const DWORD error = FollowLinks(path, opened, &target)) return error;
  existing.Close();
  // A file whose access list denies writing.
  if (const DWORD error = CheckAccess(target, AccessCheck::kWriteFile)) return error;
  if (info.nNumberOfLinks > 1) return detail::WriteInPlace(target, data, size);
  const DWORD error = Replace(target, data, size, Access::kOwnerOnly, true);
  // A folder the caller may not change: write as the file's own writer would.
  return error == ERROR_ACCESS_DENIED ? detail::WriteInPlace(target, data, size) : error;
}

}  // namespace kdp
