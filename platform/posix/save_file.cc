// Whole-file saves on POSIX systems: a temporary file beside the target,
// synced and renamed over it; and the rules that make a save do what writing
// the file would do (links, special files, permissions) without letting
// another user steer it where the caller did not mean to write.
//
// Every step after the folder is opened names entries relative to that open
// folder (fstatat, openat, renameat), so a folder renamed or swapped
// meanwhile cannot redirect the bytes; links are read through a handle of
// the link itself, so the link whose owner was checked is the one followed.
#include "kdplatform/errno_map.h"
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"

#include "../folders.h"
#include "../system_seam.h"
#include "../temporary_name.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace kdp {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel follows them

DWORD LastErrno() { return Win32ErrorFromErrno(errno); }

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A folder held open for a save: the entries a save looks at and makes are
// named relative to it.
struct Folder {
  std::string path;  // as the caller spelled it, for messages
  FileHandle handle;
  struct stat st {};

  int fd() const { return static_cast<int>(handle.Get()); }
  // Whether users other than its owner may add, rename and remove entries.
  bool OthersMayWrite() const { return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0; }
  std::string Shown() const { return path == "." ? "the current folder" : path; }
};

DWORD OpenFolder(const std::string& path, Folder* folder) {
  // O_PATH: a folder the caller may change but not list still works.
  const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : LastErrno();
  folder->path = path;
  folder->handle = FileHandle(fd);
  return ::fstat(fd, &folder->st) == 0 ? 0 : LastErrno();
}

DWORD SyncFolder(const Folder& folder) {
  const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastErrno();
  const FileHandle handle(fd);
  return SyncFile(handle.Get());
}

std::string Uid(uid_t uid) { return " (uid " + std::to_string(uid) + ")"; }

// The permissions a new file gets just before it takes the target's name;
// until then it is its owner's only.
struct Permissions {
  mode_t mode = 0600;
  bool setGroup = false;
  gid_t group = 0;
};

// What the umask leaves of 0666: learnt from a file created with it, which
// is then closed to others before anything is written.
DWORD SharedMode(int fd, mode_t* mode) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || ::fchmod(fd, 0600) != 0) return LastErrno();
  *mode = st.st_mode & 0666;
  return 0;
}

// The group the kept permissions name could not be given (the caller is no
// longer in it): the file is then written in place instead.
constexpr DWORD kGroupNotKept = 0xFFFFFFFFu;

// Removes what saves killed outright left in the folder: temporary files
// that are the caller's own regular files (never followed) and old enough
// that no live save is writing them. Best effort: a folder the caller may
// not list is left as it is.
void RemoveStaleTemporaries(const Folder& folder) {
  const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryFileName(entry->d_name)) continue;
    struct stat st {};
    if (::fstatat(folder.fd(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const std::int64_t modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && detail::IsStaleTemporary(modified)) {
      ::unlinkat(folder.fd(), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// Holds back the interrupt signals in this thread until released (or
// destroyed); one that came meanwhile is delivered then.
class InterruptsHeld {
 public:
  InterruptsHeld() noexcept {
    sigset_t interrupts;
    sigemptyset(&interrupts);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signal);
    held_ = ::pthread_sigmask(SIG_BLOCK, &interrupts, &previous_) == 0;
  }
  ~InterruptsHeld() { Release(); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
  void Release() noexcept {
    if (held_) ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    held_ = false;
  }

 private:
  sigset_t previous_{};
  bool held_ = false;
};

// Writes a new file beside `name` and renames it over `name` (whatever that
// is, never followed), then syncs the folder. The new file is owner-only
// until it holds the name, its bytes on the disk by then; it gets its final
// permissions only after that.
DWORD Replace(const Folder& folder, const std::string& name, const void* data, std::size_t size, Permissions kept,
              bool shared = false) {
  RemoveStaleTemporaries(folder);
  // SIGINT, SIGTERM and SIGHUP wait from before the file is made until it
  // is tracked, so that a tool's handler (kdplatform/interrupts.h) never
  // ends the process with an untracked temporary file left behind.
  InterruptsHeld held;
  std::string temporary;
  int fd = -1;
  const DWORD opened = detail::RunFileStep(detail::FileStep::kOpen, [&]() -> DWORD {
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
      temporary = detail::TemporaryFileName();
      fd = ::openat(folder.fd(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    shared ? 0666 : 0600);
      if (fd < 0 && errno != EEXIST) return LastErrno();
    }
    return fd < 0 ? ERROR_FILE_EXISTS : 0;
  });
  if (opened != 0) return opened;
  FileHandle file(fd);
  struct Remover {
    const Folder& folder;
    const std::string& name;
    bool armed = true;
    ~Remover() {
      if (armed) ::unlinkat(folder.fd(), name.c_str(), 0);
    }
  } remover{folder, temporary};
  detail::TrackedTemporary tracked;
  tracked.Track(folder.handle.Get(), temporary);
  held.Release();
  if (shared) {
    if (const DWORD error = SharedMode(fd, &kept.mode)) return error;
  }
  if (const DWORD error = WriteAll(file.Get(), data, size)) return error;
  if (const DWORD error = SyncFile(file.Get())) return error;
  // The group before the name is taken (a 0600 file gives its group
  // nothing), so that a group that cannot be kept fails the save with the
  // old item in place.
  if (kept.setGroup && ::fchown(fd, static_cast<uid_t>(-1), kept.group) != 0) {
    return errno == EPERM ? kGroupNotKept : LastErrno();
  }
  if (const DWORD error = detail::RunFileStep(detail::FileStep::kRename, [&]() -> DWORD {
        return ::renameat(folder.fd(), temporary.c_str(), folder.fd(), name.c_str()) == 0 ? 0 : LastErrno();
      })) {
    return error;
  }
  remover.armed = false;
  // The mode only once the file holds the name: under its temporary name it
  // is never more than its owner's. Changing it clears set-id bits, so it
  // comes after the group. Synced again so that a crash leaves the new
  // permissions with the new bytes (cheap: only the inode is left to write);
  // a crash before that leaves the item owner-only, never more open.
  if (::fchmod(fd, kept.mode) != 0) return LastErrno();
  if (kept.mode != 0600 || kept.setGroup) {
    if (const DWORD error = SyncFile(file.Get())) return error;
  }
  if (const DWORD error = file.Close()) return error;
  return SyncFolder(folder);
}

// Where a save's bytes go: a name in an open folder, and what holds that
// name now (exists false: nothing).
struct Destination {
  std::string path;  // as reached from the caller's path, for messages
  Folder folder;
  std::string name;
  bool exists = false;
  struct stat st {};
};

// Follows links at `path` to the entry a save writes. In a folder other
// users can write, a link is followed only when it belongs to the caller or
// to the folder's owner (the rule the kernel applies to open()).
DWORD Resolve(const std::string& path, Destination* out, std::string* why) {
  std::string current = path;
  for (int links = 0;; ++links) {
    Destination& d = *out;
    d = Destination();
    d.path = current;
    if (const DWORD error = OpenFolder(detail::ParentOf(current), &d.folder)) return error;
    d.name = NameOf(current);
    if (d.name.empty() || d.name == "." || d.name == "..") {
      // The path names a folder.
      d.exists = true;
      d.st.st_mode = S_IFDIR;
      return 0;
    }
    if (::fstatat(d.folder.fd(), d.name.c_str(), &d.st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return LastErrno();
      return 0;
    }
    d.exists = true;
    if (!S_ISLNK(d.st.st_mode)) return 0;
    // The link itself, so that the one whose owner is checked is the one read.
    const int fd = ::openat(d.folder.fd(), d.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return LastErrno();
    const FileHandle link(fd);
    if (::fstat(fd, &d.st) != 0) return LastErrno();
    if (!S_ISLNK(d.st.st_mode)) return 0;  // replaced by a file meanwhile
    const uid_t owner = d.st.st_uid;
    if (d.folder.OthersMayWrite() && owner != ::geteuid() && owner != d.folder.st.st_uid) {
      if (why) {
        *why = current + " is a link owned by another user" + Uid(owner) + " in " + d.folder.Shown() +
               ", a folder other users can write";
      }
      return ERROR_ACCESS_DENIED;
    }
    if (links == kMaxLinks) return ERROR_CANT_RESOLVE_FILENAME;
    char target[PATH_MAX];
    const ssize_t n = ::readlinkat(fd, "", target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) {
      return n < 0 ? LastErrno() : ERROR_CANT_RESOLVE_FILENAME;
    }
    const std::string text(target, static_cast<std::size_t>(n));
    const std::size_t slash = current.rfind('/');
    current = text.front() == '/' || slash == std::string::npos ? text : current.substr(0, slash + 1) + text;
  }
}

DWORD RefuseOthersFile(const Destination& d, uid_t owner, std::string* why) {
  if (why) {
    *why = d.path + " belongs to another user" + Uid(owner) + " in " + d.folder.Shown() +
           ", a folder other users can write";
  }
  return ERROR_ACCESS_DENIED;
}

// How a save treats what it found.
enum class Action { kCreate, kReplace, kInPlace };

// The rules that decide what a save does at `d` (docs/platform.md); 0 and
// the action, or the Win32 code of a refusal (*why says why when the rule
// is about another user).
DWORD Decide(const Destination& d, Action* action, Permissions* kept, std::string* why) {
  if (!d.exists) {
    *action = Action::kCreate;
    return 0;
  }
  if (S_ISDIR(d.st.st_mode)) return ERROR_ACCESS_DENIED;
  const bool mine = d.st.st_uid == ::geteuid();
  if (!mine && d.folder.OthersMayWrite()) return RefuseOthersFile(d, d.st.st_uid, why);
  if (::faccessat(d.folder.fd(), d.name.c_str(), W_OK, AT_EACCESS) != 0) return LastErrno();
  if (!S_ISREG(d.st.st_mode) || d.st.st_nlink > 1 || ::faccessat(d.folder.fd(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
    *action = Action::kInPlace;
    return 0;
  }
  *action = Action::kReplace;
  // The replacement is the caller's: with the old file's mode and group when
  // that was the caller's too, else its owner's only and never wider than
  // the old file was.
  if (mine) {
    kept->mode = d.st.st_mode & 07777;
    kept->setGroup = d.st.st_gid != ::getegid();
    kept->group = d.st.st_gid;
  } else {
    kept->mode = d.st.st_mode & 0600;
  }
  return 0;
}

// Truncates the file at `d` and writes the bytes into it: for what a save
// must not replace. The checks are made again on the opened file, so a file
// swapped in meanwhile is judged as itself.
DWORD WriteInPlace(const Destination& d, const void* data, std::size_t size, std::string* why) {
  // A FIFO waits here for its reader, as writing it would.
  int fd = -1;
  if (const DWORD error = detail::RunFileStep(detail::FileStep::kOpen, [&]() -> DWORD {
        do {
          fd = ::openat(d.folder.fd(), d.name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        return fd < 0 ? LastErrno() : 0;
      })) {
    return error;
  }
  FileHandle file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return LastErrno();
  if (st.st_uid != ::geteuid() && d.folder.OthersMayWrite()) return RefuseOthersFile(d, st.st_uid, why);
  if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) return LastErrno();
  if (const DWORD error = WriteAll(file.Get(), data, size)) return error;
  if (const DWORD error = SyncFile(file.Get())) return error;
  return file.Close();
}

DWORD Save(const std::string& path, const void* data, std::size_t size, std::string* why) {
  Destination d;
  if (const DWORD error = Resolve(path, &d, why)) return error;
  Action action = Action::kCreate;
  Permissions kept;
  if (const DWORD error = Decide(d, &action, &kept, why)) return error;
  if (action == Action::kInPlace) return WriteInPlace(d, data, size, why);
  const DWORD error = Replace(d.folder, d.name, data, size, kept);
  return error == kGroupNotKept ? WriteInPlace(d, data, size, why) : error;
}

}  // namespace

DWORD ReplaceFileAtomically(const std::string& target, const void* data, std::size_t size, Access access) {
  Folder folder;
  if (const DWORD error = OpenFolder(detail::ParentOf(target), &folder)) return error;
  Permissions permissions;
  permissions.mode = access == Access::kPublicRead ? 0644 : 0600;
  return Replace(folder, NameOf(target), data, size, permissions, access == Access::kShared);
}

void detail::RemoveTrackedFile(NativeFile folder, const char* name) noexcept {
  ::unlinkat(static_cast<int>(folder), name, 0);
}

DWORD SaveFile(const std::string& path, const void* data, std::size_t size) { return Save(path, data, size, nullptr); }

std::string SaveRefusal(const std::string& path) {
  std::string why;
  Destination d;
  if (Resolve(path, &d, &why) == 0) {
    Action action = Action::kCreate;
    Permissions kept;
    Decide(d, &action, &kept, &why);
  }
  return why;
}

}  // namespace kdp
