// Whole-file saves on POSIX systems: a temporary file beside the target,
// synced and renamed over it; and the rules that make a save do what writing
// the file would do (links, special files, permissions).
#include "kdplatform/errno_map.h"
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"

#include "../file_faults.h"
#include "../temporary_name.h"
#include "../whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace kdp {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel follows them

DWORD LastErrno() { return Win32ErrorFromErrno(errno); }

// The folder part of a path ("." for a bare name), without its final '/'.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path that links at `path` lead to (the path itself when it is no
// link, or when nothing exists there yet).
DWORD FollowLinks(const std::string& path, std::string* target) {
  std::string current = path;
  for (int links = 0;; ++links) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno != ENOENT) return LastErrno();
      break;
    }
    if (!S_ISLNK(st.st_mode)) break;
    if (links == kMaxLinks) return ERROR_CANT_RESOLVE_FILENAME;
    std::string link(static_cast<std::size_t>(st.st_size) + 1, '\0');
    const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
    if (n <= 0) return n < 0 ? LastErrno() : ERROR_CANT_RESOLVE_FILENAME;
    if (static_cast<std::size_t>(n) >= link.size()) continue;  // changed meanwhile: look again
    link.resize(static_cast<std::size_t>(n));
    const std::size_t slash = current.rfind('/');
    current = link.front() == '/' || slash == std::string::npos ? link : current.substr(0, slash + 1) + link;
  }
  *target = current;
  return 0;
}

// What the replacement must carry over from the file it replaces.
struct Ownership {
  mode_t mode;
  uid_t owner;
  gid_t group;
};

// The temporary file beside `target`, removed unless Commit renamed it.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : folder_(FolderOf(target)) {}
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // A new file with a random name.
  DWORD Create(Access access) { return detail::CreateTemporaryFile(folder_, access, &file_, &path_); }

  // Owner and group first: changing them clears set-id bits.
  DWORD Keep(const Ownership* keep) {
    const int fd = static_cast<int>(file_.Get());
    struct stat st {};
    if (::fstat(fd, &st) != 0) return LastErrno();
    if ((st.st_uid != keep->owner || st.st_gid != keep->group) && ::fchown(fd, keep->owner, keep->group) != 0) {
      return LastErrno();
    }
    return ::fchmod(fd, keep->mode) == 0 ? 0 : LastErrno();
  }

  DWORD Fill(const void* data, std::size_t size) { return detail::WriteSyncClose(&file_, data, size); }

  DWORD Commit(const std::string& target) {
    if (const DWORD fault = detail::InjectedFileFault(testing::FileStep::kRename)) return fault;
    if (::rename(path_.c_str(), target.c_str()) != 0) return LastErrno();
    path_.clear();
    return SyncFolder(folder_);
  }

 private:
  std::string folder_;
  std::string path_;
  FileHandle file_;
};

DWORD Replace(const std::string& target, const void* data, std::size_t size, Access access, const Ownership* keep) {
  TemporaryFile temporary(target);
  if (const DWORD error = temporary.Create(access)) return error;
  if (keep != nullptr) {
    if (const DWORD error = temporary.Keep(keep)) return error;
  }
  if (const DWORD error = temporary.Fill(data, size)) return error;
  return temporary.Commit(target);
}

bool MayWrite(const std::string& path, int how) { return ::faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) == 0; }

}  // namespace

DWORD ReplaceFileAtomically(const std::string& target, const void* data, std::size_t size, Access access) {
  return Replace(target, data, size, access, nullptr);
}

DWORD SaveFile(const std::string& path, const void* data, std::size_t size) {
  std::string target;
  if (const DWORD error = FollowLinks(path, &target)) return error;
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    return errno == ENOENT ? Replace(target, data, size, Access::kOwnerOnly, nullptr) : LastErrno();
  }
  if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
  if (!MayWrite(target, W_OK)) return LastErrno();
  if (!S_ISREG(st.st_mode) || st.st_nlink > 1 || !MayWrite(FolderOf(target), W_OK | X_OK)) {
    return detail::WriteInPlace(target, data, size);
  }
  const Ownership keep{st.st_mode & 07777, st.st_uid, st.st_gid};
  const DWORD error = Replace(target, data, size, Access::kOwnerOnly, &keep);
  // Owner or group that this process cannot give a new file: write as the
  // file's own writer would.
  return error == ERROR_ACCESS_DENIED ? detail::WriteInPlace(target, data, size) : error;
}

}  // namespace kdp
