// The file-I/O layer on POSIX systems: descriptors, and the one place that
// retries calls a signal interrupted (EINTR).
#include "kdplatform/file_io.h"

#include "kdplatform/errno_map.h"
#include "kdplatform/errors.h"

#include "../folders.h"
#include "../system_seam.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>
#include <utility>

namespace kdp {

namespace {

using detail::ParentOf;

using detail::FileStep;

DWORD LastErrno() { return Win32ErrorFromErrno(errno); }

// The Win32 code for a call on `path` that failed with errno. Win32 tells a
// missing file in an existing folder from a missing folder.
DWORD ErrorFor(const std::string& path) {
  const int error = errno;
  if (error == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  if (error != ENOENT) return Win32ErrorFromErrno(error);
  struct stat parent {};
  const bool folderExists = ::stat(ParentOf(path).c_str(), &parent) == 0 && S_ISDIR(parent.st_mode);
  return folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

int Fd(NativeFile file) { return static_cast<int>(file); }

// Runs a system call again while a signal interrupts it.
template <typename Call>
auto Retry(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

FileInfo InfoOf(const struct stat& st) {
  FileInfo info;
  info.kind = S_ISREG(st.st_mode) ? FileKind::kFile : S_ISDIR(st.st_mode) ? FileKind::kFolder : FileKind::kOther;
  info.size = info.kind == FileKind::kFile ? static_cast<std::uint64_t>(st.st_size) : 0;
  info.othersMayRead = (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
  const auto nanoseconds = [](const struct timespec& t) { return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
  info.version = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                  static_cast<std::uint64_t>(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
  return info;
}

int OpenFlagsFor(unsigned flags) {
  int result = O_CLOEXEC;
  if ((flags & kOpenRead) && (flags & kOpenWrite)) {
    result |= O_RDWR;
  } else if (flags & kOpenWrite) {
    result |= O_WRONLY;
  } else {
    result |= O_RDONLY;
  }
  if (flags & kOpenTruncate) result |= O_TRUNC;
  if (flags & kOpenAppend) result |= O_APPEND;
  if (flags & kOpenNoFollow) result |= O_NOFOLLOW;
  // A reader never waits in open for the other end of a FIFO (a writer
  // does, as writing such a file would).
  if (!(flags & (kOpenWrite | kOpenFolder | kOpenWaitForWriter))) result |= O_NONBLOCK;
  return result;
}

// Sets the mode of the folder just made at `path` through a handle of it,
// never following a link: in a folder others may write, a link swapped in
// meanwhile must not have its target's mode changed instead.
DWORD SetFolderMode(const std::string& path, mode_t mode) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    const FileHandle folder(fd);
    return ::fchmod(fd, mode) == 0 ? 0 : LastErrno();
  }
  if (errno != EACCES) return LastErrno();
  // The umask left the owner no right to read it: a handle that needs none,
  // changed through its /proc name (which names the very folder opened).
  fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return LastErrno();
  const FileHandle folder(fd);
  return ::chmod(("/proc/self/fd/" + std::to_string(fd)).c_str(), mode) == 0 ? 0 : LastErrno();
}

// OpenFile without its step.
DWORD OpenNow(const std::string& path, unsigned flags, FileHandle* file, Access access, FileInfo* info) {
  const int base = OpenFlagsFor(flags);
  // The mode a created file must have whatever the umask (0: as it allows).
  const mode_t fixed = access == Access::kOwnerOnly ? 0600 : access == Access::kPublicRead ? 0644 : 0;
  int fd = -1;
  bool created = false;
  // Create with O_EXCL first, so that only a file made here is set to
  // owner-only (the umask may have taken bits it needs); an existing one
  // keeps its permissions.
  for (int attempt = 0; fd < 0 && attempt < 2; ++attempt) {
    if (flags & kOpenCreate) {
      fd = Retry([&] { return ::open(path.c_str(), base | O_CREAT | O_EXCL, fixed != 0 ? fixed : 0666); });
      if (fd >= 0) {
        created = true;
        break;
      }
      if (errno != EEXIST) return ErrorFor(path);
      if (flags & kOpenExclusive) return ERROR_FILE_EXISTS;
    }
    fd = Retry([&] { return ::open(path.c_str(), base); });
    if (fd < 0 && !(errno == ENOENT && (flags & kOpenCreate))) return ErrorFor(path);
  }
  if (fd < 0) return ErrorFor(path);
  FileHandle opened(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return LastErrno();
  if (S_ISDIR(st.st_mode) != ((flags & kOpenFolder) != 0)) {
    return S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_DIRECTORY;
  }
  if (created && fixed != 0 && ::fchmod(fd, fixed) != 0) return LastErrno();
  // Back to blocking reads (a regular file's reads never wait anyway).
  if ((base & O_NONBLOCK) && !S_ISREG(st.st_mode) && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    return LastErrno();
  }
  if (info) *info = InfoOf(st);
  *file = std::move(opened);
  return 0;
}

}  // namespace

DWORD FileHandle::Close() noexcept {
  if (file_ == kNoFile) return 0;
  // close is not retried: after EINTR the descriptor is already gone.
  return ::close(Fd(std::exchange(file_, kNoFile))) == 0 ? 0 : LastErrno();
}

NativeFile StandardInput() noexcept { return STDIN_FILENO; }
NativeFile StandardOutput() noexcept { return STDOUT_FILENO; }

DWORD OpenFile(const std::string& path, unsigned flags, FileHandle* file, Access access, FileInfo* info) {
  *file = FileHandle();
  return detail::RunFileStep(FileStep::kOpen, [&] { return OpenNow(path, flags, file, access, info); });
}

DWORD ReadSome(NativeFile file, void* buffer, std::size_t size, std::size_t* done) {
  *done = 0;
  return detail::RunFileStep(FileStep::kRead, [&]() -> DWORD {
    const ssize_t n = Retry([&] { return ::read(Fd(file), buffer, size); });
    if (n < 0) return LastErrno();
    *done = static_cast<std::size_t>(n);
    return 0;
  });
}

DWORD WriteAll(NativeFile file, const void* data, std::size_t size, std::size_t* done) {
  std::size_t written = 0;
  DWORD error = 0;
  while (written < size && error == 0) {
    error = detail::RunFileStep(FileStep::kWrite, [&]() -> DWORD {
      const ssize_t n =
          Retry([&] { return ::write(Fd(file), static_cast<const char*>(data) + written, size - written); });
      if (n < 0) return LastErrno();
      if (n == 0) return ERROR_WRITE_FAULT;
      written += static_cast<std::size_t>(n);
      return 0;
    });
  }
  if (done) *done = written;
  return error;
}

DWORD SeekFile(NativeFile file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return ERROR_INVALID_PARAMETER;
  return ::lseek(Fd(file), static_cast<off_t>(offset), SEEK_SET) < 0 ? LastErrno() : 0;
}

DWORD SyncFile(NativeFile file) {
  return detail::RunFileStep(FileStep::kSync, [&]() -> DWORD {
    if (::fsync(Fd(file)) == 0) return 0;
    // Devices, FIFOs and some file systems' folders have nothing to sync.
    return errno == EINVAL || errno == EROFS ? 0 : LastErrno();
  });
}

DWORD SyncFolder(const std::string& folder) {
  FileHandle handle;
  if (const DWORD error = OpenFile(folder, kOpenRead | kOpenFolder, &handle)) return error;
  return SyncFile(handle.Get());
}

DWORD LockFile(NativeFile file) {
  return Retry([&] { return ::flock(Fd(file), LOCK_EX); }) == 0 ? 0 : LastErrno();
}

DWORD UnlockFile(NativeFile file) { return ::flock(Fd(file), LOCK_UN) == 0 ? 0 : LastErrno(); }

DWORD QueryFile(const std::string& path, FileInfo* info) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return ErrorFor(path);
  *info = InfoOf(st);
  return 0;
}

DWORD QueryFile(NativeFile file, FileInfo* info) {
  struct stat st {};
  if (::fstat(Fd(file), &st) != 0) return LastErrno();
  *info = InfoOf(st);
  return 0;
}

DWORD ListFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
  const int fd = Retry([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return LastErrno();
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    const DWORD error = LastErrno();
    ::close(fd);
    return error;
  }
  DWORD error = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      error = errno != 0 ? LastErrno() : 0;
      break;
    }
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    FileKind kind = FileKind::kOther;
    bool link = entry->d_type == DT_LNK;
    if (entry->d_type == DT_REG) {
      kind = FileKind::kFile;
    } else if (entry->d_type == DT_DIR) {
      kind = FileKind::kFolder;
    } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      // Only a link, or a file system that does not say, needs a look.
      struct stat st {};
      if (!link && ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) link = S_ISLNK(st.st_mode);
      if (::fstatat(fd, name, &st, 0) == 0) kind = InfoOf(st).kind;
    }
    entries->push_back({name, kind, link});
  }
  ::closedir(dir);  // closes fd
  return error;
}

bool IsSettled(const FileVersion& version) noexcept {
  if (version.changed == 0) return false;
  struct timespec now {};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
  // The file system stamps changes with a coarse clock (a tick of a few
  // milliseconds); a second is far beyond it.
  constexpr std::int64_t kSecond = 1000000000;
  return std::int64_t{now.tv_sec} * kSecond + now.tv_nsec - version.changed >= kSecond;
}

DWORD RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return 0;
  return ErrorFor(path);
}

DWORD RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  return ec ? Win32ErrorFromErrno(ec.value()) : 0;
}

DWORD CheckAccess(const std::string& path, AccessCheck what) {
  const int mode = what == AccessCheck::kRead ? R_OK : what == AccessCheck::kWriteFile ? W_OK : W_OK | X_OK;
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0 ? 0 : Win32ErrorFromErrno(errno);
}

DWORD CreateFolder(const std::string& path, Access access) {
  const mode_t fixed = access == Access::kOwnerOnly ? 0700 : access == Access::kPublicRead ? 0755 : 0;
  if (::mkdir(path.c_str(), fixed != 0 ? fixed : 0777) != 0) return ErrorFor(path);
  // The umask may have taken bits the mode needs.
  if (fixed != 0) {
    if (const DWORD error = SetFolderMode(path, fixed)) return error;
  }
  return SyncFolder(ParentOf(path));
}

}  // namespace kdp
