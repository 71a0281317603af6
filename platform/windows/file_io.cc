// The file-I/O layer on Windows: HANDLEs from CreateFileA. Windows reports
// its own Win32 codes, so no translation is needed; what this file adds is
// the POSIX layer's contract where Windows differs (folders, access, sync).
#include "kdplatform/file_io.h"

#include "kdplatform/errors.h"
#include "kdplatform/win32.h"

#include "kdplatform/security.h"

#include "../folders.h"
#include "../system_seam.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

namespace kdp {
namespace {

using detail::FileStep;
using detail::ParentOf;

// Every open lets others read, write, rename and delete the file, as POSIX
// does: a save renames a new file over one that readers may hold open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile move at most a DWORD per call.
constexpr std::size_t kMaxChunk = 1u << 30;

HANDLE Handle(NativeFile file) { return reinterpret_cast<HANDLE>(file); }
NativeFile Native(HANDLE handle) { return reinterpret_cast<NativeFile>(handle); }

// FILETIME counts 100 ns since 1601; versions count ns since 1970.
std::int64_t Nanoseconds(const FILETIME& time) {
  constexpr std::int64_t kFrom1601To1970 = 116444736000000000;
  const std::int64_t ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  return (ticks - kFrom1601To1970) * 100;
}

FileInfo InfoOf(const BY_HANDLE_FILE_INFORMATION& data) {
  FileInfo info;
  info.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::kFolder : FileKind::kFile;
  const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (info.kind == FileKind::kFile) info.size = size;
  // The file index tells a replaced file from the one before it; the last
  // write stands for both times (this call reports no change time of the
  // entry).
  const std::int64_t written = Nanoseconds(data.ftLastWriteTime);
  info.version = {data.dwVolumeSerialNumber,
                  (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow, size, written, written};
  return info;  // othersMayRead: Windows keeps access lists, not such bits
}

// The security a creation with `access` passes: the role's descriptor, or
// none for kShared, whose files and folders take what their folder passes on.
class AccessSecurity {
 public:
  AccessSecurity(Access access, SecuredObject object) {
    if (access != Access::kShared) {
      security_.emplace(access == Access::kPublicRead ? SecurityRole::kPublicRead : SecurityRole::kOwnerOnly, object);
    }
  }
  DWORD error() const { return security_ ? security_->error() : 0; }
  SECURITY_ATTRIBUTES* attributes() { return security_ ? security_->attributes() : nullptr; }

 private:
  std::optional<CreationSecurity> security_;
};

// Whether an open disk file is a reparse point (a symbolic link, a junction,
// or a file some filter handles).
DWORD IsReparsePoint(HANDLE handle, bool* reparse) {
  *reparse = false;
  if (GetFileType(handle) != FILE_TYPE_DISK) return 0;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return GetLastError();
  *reparse = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return 0;
}

// Opens `path` for `desired` access only to look at it or to judge access.
DWORD OpenExisting(const std::string& path, DWORD desired, FileHandle* file) {
  const HANDLE handle =
      CreateFileA(path.c_str(), desired, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError();
  *file = FileHandle(Native(handle));
  return 0;
}

}  // namespace

DWORD FileHandle::Close() noexcept {
  if (file_ == kNoFile) return 0;
  return CloseHandle(Handle(std::exchange(file_, kNoFile))) ? 0 : GetLastError();
}

NativeFile StandardInput() noexcept { return Native(GetStdHandle(STD_INPUT_HANDLE)); }
NativeFile StandardOutput() noexcept { return Native(GetStdHandle(STD_OUTPUT_HANDLE)); }

DWORD OpenFile(const std::string& path, unsigned flags, FileHandle* file, Access access, FileInfo* described) {
  *file = FileHandle();
  DWORD desired = 0;
  if (flags & kOpenRead) desired |= GENERIC_READ;
  // Appending writes only at the end: the right to add data, not to change it.
  if (flags & kOpenWrite) desired |= (flags & kOpenAppend) ? (FILE_GENERIC_WRITE & ~FILE_WRITE_DATA) : GENERIC_WRITE;
  if (desired == 0) desired = GENERIC_READ;
  const bool create = (flags & kOpenCreate) != 0;
  const DWORD disposition = !create ? OPEN_EXISTING : (flags & kOpenExclusive) ? CREATE_NEW : OPEN_ALWAYS;
  // Only a handle opened with backup semantics can name a folder; without
  // them CreateFileA refuses a folder with ERROR_ACCESS_DENIED, as wanted.
  DWORD attributes = (flags & kOpenFolder) ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
  // The reparse point itself is opened, to be refused below; nothing is
  // written before that (truncating comes after).
  if (flags & kOpenNoFollow) attributes |= FILE_FLAG_OPEN_REPARSE_POINT;
  AccessSecurity security(access, (flags & kOpenFolder) ? SecuredObject::kFolder : SecuredObject::kFile);
  if (create && security.error() != 0) return security.error();
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (const DWORD error = detail::RunFileStep(FileStep::kOpen, [&]() -> DWORD {
        handle = CreateFileA(path.c_str(), desired, kShareAll, create ? security.attributes() : nullptr, disposition,
                             attributes, nullptr);
        return handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
      })) {
    return error;
  }
  FileHandle opened(Native(handle));
  if (flags & kOpenNoFollow) {
    bool reparse = false;
    if (const DWORD error = IsReparsePoint(handle, &reparse)) return error;
    if (reparse) return ERROR_CANT_RESOLVE_FILENAME;
  }
  if (flags & kOpenFolder) {
    FileInfo info;
    if (const DWORD error = QueryFile(opened.Get(), &info)) return error;
    if (info.kind != FileKind::kFolder) return ERROR_DIRECTORY;
  }
  // Devices (NUL, a console) have no length to cut.
  if ((flags & kOpenTruncate) && GetFileType(handle) == FILE_TYPE_DISK && !SetEndOfFile(handle)) return GetLastError();
  if (described != nullptr) {
    if (const DWORD error = QueryFile(opened.Get(), described)) return error;
  }
  *file = std::move(opened);
  return 0;
}

DWORD ReadSome(NativeFile file, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  return detail::RunFileStep(FileStep::kRead, [&]() -> DWORD {
    DWORD n = 0;
    if (!ReadFile(Handle(file), buffer, static_cast<DWORD>(std::min(size, kMaxChunk)), &n, nullptr)) {
      const DWORD error = GetLastError();
      // The writer of a pipe went away: the end of the input.
      return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : error;
    }
    *done = n;
    return 0;
  });
}

DWORD WriteAll(NativeFile file, const void* data, std::size_t size, std::size_t* done) {
  std::size_t written = 0;
  DWORD error = 0;
  while (written < size && error == 0) {
    error = detail::RunFileStep(FileStep::kWrite, [&]() -> DWORD {
      DWORD n = 0;
      if (!WriteFile(Handle(file), static_cast<const char*>(data) + written,
                     static_cast<DWORD>(std::min(size - written, kMaxChunk)), &n, nullptr)) {
        return GetLastError();
      }
      if (n == 0) return ERROR_WRITE_FAULT;
      written += n;
      return 0;
    });
  }
  if (done) *done = written;
  return error;
}

DWORD SeekFile(NativeFile file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) return ERROR_INVALID_PARAMETER;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(Handle(file), at, nullptr, FILE_BEGIN) ? 0 : GetLastError();
}

DWORD SyncFile(NativeFile file) {
  return detail::RunFileStep(FileStep::kSync, [&]() -> DWORD {
    // Consoles and pipes have nothing to flush.
    if (GetFileType(Handle(file)) != FILE_TYPE_DISK) return 0;
    if (FlushFileBuffers(Handle(file))) return 0;
    const DWORD error = GetLastError();
    // A folder handle cannot be flushed; its entries need no flush (below).
    FileInfo info;
    return QueryFile(file, &info) == 0 && info.kind == FileKind::kFolder ? 0 : error;
  });
}

// Windows makes a folder's entries durable itself: saves rename with
// MOVEFILE_WRITE_THROUGH, which returns once the rename is on the disk.
DWORD SyncFolder(const std::string& folder) {
  return detail::RunFileStep(FileStep::kSync, [&]() -> DWORD {
    FileInfo info;
    if (const DWORD error = QueryFile(folder, &info)) return error;
    return info.kind == FileKind::kFolder ? 0 : ERROR_DIRECTORY;
  });
}

DWORD LockFile(NativeFile file) {
  OVERLAPPED at{};
  return LockFileEx(Handle(file), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &at) ? 0 : GetLastError();
}

DWORD UnlockFile(NativeFile file) {
  OVERLAPPED at{};
  return UnlockFileEx(Handle(file), 0, MAXDWORD, MAXDWORD, &at) ? 0 : GetLastError();
}

DWORD QueryFile(const std::string& path, FileInfo* info) {
  FileHandle file;
  if (const DWORD error = OpenExisting(path, 0, &file)) return error;
  return QueryFile(file.Get(), info);
}

DWORD QueryFile(NativeFile file, FileInfo* info) {
  if (GetFileType(Handle(file)) != FILE_TYPE_DISK) {
    *info = FileInfo{};
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION data{};
  if (!GetFileInformationByHandle(Handle(file), &data)) return GetLastError();
  *info = InfoOf(data);
  return 0;
}

DWORD ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
  FileInfo info;
  if (const DWORD error = QueryFile(folder, &info)) return error == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : error;
  if (info.kind != FileKind::kFolder) return ERROR_PATH_NOT_FOUND;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(detail::JoinPath(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError();
  std::vector<FolderEntry> listed;
  DWORD error = 0;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    FileKind kind = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::kFolder : FileKind::kFile;
    // A link is followed; one that leads nowhere is neither.
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      FileInfo target;
      kind = QueryFile(detail::JoinPath(folder, name), &target) == 0 ? target.kind : FileKind::kOther;
    }
    listed.push_back({name, kind});
  } while (FindNextFileA(search, &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) error = GetLastError();
  FindClose(search);
  if (error != 0) return error;
  entries->insert(entries->end(), std::make_move_iterator(listed.begin()), std::make_move_iterator(listed.end()));
  return 0;
}

bool IsSettled(const FileVersion& version) noexcept {
  if (version.changed == 0) return false;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  // NTFS stamps writes to 100 ns, but may record them late (up to about a
  // second for the last-access time, less for writes); a second covers it.
  constexpr std::int64_t kSecond = 1000000000;
  return Nanoseconds(now) - version.changed >= kSecond;
}

DWORD RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) ? 0 : GetLastError(); }

// Through the ANSI calls, as every path of the layer: std::filesystem would
// read narrow names as UTF-8 whatever the process's code page.
DWORD RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return RemoveFile(path);
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(detail::JoinPath(path, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD error = 0;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") error = RemoveTree(detail::JoinPath(path, name));
    } while (error == 0 && FindNextFileA(search, &found));
    if (error == 0 && GetLastError() != ERROR_NO_MORE_FILES) error = GetLastError();
    FindClose(search);
    if (error != 0) return error;
  }
  return RemoveDirectoryA(path.c_str()) ? 0 : GetLastError();
}

DWORD CheckAccess(const std::string& path, AccessCheck what) {
  const DWORD desired = what == AccessCheck::kRead        ? GENERIC_READ
                        : what == AccessCheck::kWriteFile ? GENERIC_WRITE
                                                          : FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD;
  FileHandle file;
  return OpenExisting(path, desired, &file);
}

DWORD CreateFolder(const std::string& path, Access access) {
  AccessSecurity security(access, SecuredObject::kFolder);
  if (security.error() != 0) return security.error();
  if (!CreateDirectoryA(path.c_str(), security.attributes())) return GetLastError();
  return SyncFolder(ParentOf(path));
}

}  // namespace kdp
