// The trust check on POSIX systems: one lstat per step of the path, from the
// root down, links expanded in place as the kernel would follow them.
#include "kdplatform/trust.h"

#include "kdplatform/errno_map.h"
#include "kdplatform/errors.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

namespace kdp {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel follows them
constexpr uid_t kNoOwner = static_cast<uid_t>(-1);

bool TrustedOwner(uid_t owner, uid_t caller) { return owner == 0 || owner == caller; }
bool OthersMayWrite(const struct stat& st) { return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0; }

DWORD Refuse(std::string* why, const std::string& step, const char* what, uid_t owner = kNoOwner) {
  if (why) {
    *why = (step.empty() ? "/" : step) + what;
    if (owner != kNoOwner) *why += " (uid " + std::to_string(owner) + ")";
  }
  return ERROR_ACCESS_DENIED;
}

}  // namespace

DWORD CheckTrusted(const std::string& path, std::string* why) {
  if (why) why->clear();
  if (path.empty()) return ERROR_FILE_NOT_FOUND;
  // `rest` is what is still to walk from `at`, `done` the real path walked
  // so far (empty for the root); every step of `done` was found trusted.
  std::string rest;
  if (path.front() != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return Win32ErrorFromErrno(errno);
    rest = cwd;
    rest += '/';
  }
  rest += path;
  std::string done;
  done.reserve(rest.size());
  const uid_t caller = ::geteuid();
  struct stat st {};
  if (::lstat("/", &st) != 0) return Win32ErrorFromErrno(errno);
  int links = 0;
  std::size_t at = 0;
  for (;;) {
    // `st` describes `done` here.
    if (!TrustedOwner(st.st_uid, caller)) return Refuse(why, done, " is owned by another user", st.st_uid);
    // Others may add entries to a sticky folder but not rename or remove
    // the trusted ones below it.
    if (OthersMayWrite(st) && !(S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))) {
      return Refuse(why, done, " is writable by other users");
    }
    while (at < rest.size() && rest[at] == '/') ++at;
    if (at == rest.size()) break;
    if (!S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    std::size_t end = rest.find('/', at);
    if (end == std::string::npos) end = rest.size();
    const std::string_view name(rest.data() + at, end - at);
    at = end;
    const std::size_t folderSize = done.size();
    if (name == "..") {
      // Back to a folder already walked on the way here.
      const std::size_t slash = done.rfind('/');
      done.resize(slash == std::string::npos ? 0 : slash);
    } else if (name != ".") {
      done += '/';
      done += name;
    }
    if (::lstat(done.empty() ? "/" : done.c_str(), &st) != 0) {
      const int error = errno;
      const bool last = rest.find_first_not_of('/', at) == std::string::npos;
      if (error == ENOENT) return last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
      if (error == ENOTDIR) return ERROR_PATH_NOT_FOUND;
      if (error == EACCES && why) *why = done + " cannot be examined by this user";
      return Win32ErrorFromErrno(error);
    }
    if (!S_ISLNK(st.st_mode)) continue;
    if (!TrustedOwner(st.st_uid, caller)) return Refuse(why, done, " is a link owned by another user", st.st_uid);
    if (++links > kMaxLinks) return ERROR_CANT_RESOLVE_FILENAME;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(done.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) {
      return n < 0 ? Win32ErrorFromErrno(errno) : ERROR_CANT_RESOLVE_FILENAME;
    }
    // The link's text takes its place, read from the folder that holds the
    // link (or from the root), both already found trusted.
    rest.replace(0, at, target, static_cast<std::size_t>(n));
    at = 0;
    done.resize(target[0] == '/' ? 0 : folderSize);
    if (::lstat(done.empty() ? "/" : done.c_str(), &st) != 0) return Win32ErrorFromErrno(errno);
  }
  // What the path names must be closed to others even when sticky.
  return OthersMayWrite(st) ? Refuse(why, done, " is writable by other users") : 0;
}

}  // namespace kdp
