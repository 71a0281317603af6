// The trust check on Windows: each entry from the root down is opened
// without following reparse points and judged by its owner and DACL
// (kdplatform/security.h says who counts as trusted and which rights
// change an entry). A link on the way is judged as an entry, then its target
// is walked from its own root.
#include "kdplatform/trust.h"

#include "kdplatform/errors.h"
#include "kdplatform/security.h"
#include "kdplatform/win32.h"

#include "entries.h"

#include <string>
#include <vector>

namespace kdp {
namespace {

constexpr int kMaxLinks = 40;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// `path` made absolute and tidied ("..", "/") by the system.
DWORD FullPath(const std::string& path, std::string* full) {
  // An empty path names nothing, as on Linux; the system would call it a
  // buffer too small (Wine) or a bad name.
  if (path.empty()) return ERROR_FILE_NOT_FOUND;
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return GetLastError();
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(length);
  }
  *full = std::move(buffer);
  return 0;
}

// The root of an absolute path ("C:\", "\\server\share\") and its names.
bool Split(const std::string& path, std::string* root, std::vector<std::string>* names) {
  std::size_t at = 0;
  if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) {
    at = 3;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // \\server\share\ (or \\?\C:\): two names belong to the root.
    at = path.find_first_of("\\/", 2);
    if (at != std::string::npos) at = path.find_first_of("\\/", at + 1);
    at = at == std::string::npos ? path.size() : at + 1;
  } else {
    return false;
  }
  *root = path.substr(0, at);
  if (!root->empty() && !IsSeparator(root->back())) *root += '\\';
  names->clear();
  while (at < path.size()) {
    std::size_t end = path.find_first_of("\\/", at);
    if (end == std::string::npos) end = path.size();
    if (end > at) names->push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return true;
}

std::string Joined(const std::string& root, const std::vector<std::string>& names, std::size_t from, std::size_t to) {
  std::string path = root;
  for (std::size_t i = from; i < to; ++i) {
    if (!path.empty() && !IsSeparator(path.back())) path += '\\';
    path += names[i];
  }
  return path;
}

DWORD Untrusted(std::string* why, const std::string& what) {
  if (why) *why = what;
  return ERROR_ACCESS_DENIED;
}

// Judges one entry. `strict`: the path itself or the folder that holds it,
// which nobody else may change at all; a folder higher up may let others add
// entries.
DWORD Judge(NativeFile entry, const std::string& path, bool strict, PSID caller, std::string* why) {
  detail::Descriptor descriptor;
  if (const DWORD error = descriptor.Read(entry)) return error;
  const Exposure exposure = ExposureOf(descriptor.get(), caller);
  if (exposure.ownedByOther) return Untrusted(why, path + " is owned by another user");
  if (exposure.noAccessList) return Untrusted(why, path + " has no access list: every user may change it");
  if (OthersMayChange(exposure, kReplaceRights)) {
    return Untrusted(why, path + " lets other users change its access list or remove entries");
  }
  if (strict && OthersMayChange(exposure)) return Untrusted(why, path + " is writable by other users");
  return 0;
}

DWORD Check(const std::string& path, PSID caller, int links, std::string* why) {
  std::string root;
  std::vector<std::string> names;
  if (!Split(path, &root, &names)) return ERROR_BAD_PATHNAME;
  const std::size_t levels = names.size() + 1;  // the root, then each name
  for (std::size_t level = 0; level < levels; ++level) {
    const std::string here = Joined(root, names, 0, level);
    const bool last = level + 1 == levels;
    FileHandle entry;
    DWORD error = detail::OpenEntry(here, READ_CONTROL | FILE_READ_ATTRIBUTES, &entry);
    if (error == ERROR_FILE_NOT_FOUND && !last) error = ERROR_PATH_NOT_FOUND;
    if (error != 0) return error;
    if (const DWORD judged = Judge(entry.Get(), here, level + 2 >= levels, caller, why)) return judged;
    DWORD tag = 0;
    if (const DWORD tagError = detail::ReparseTagOf(entry.Get(), &tag)) return tagError;
    if (detail::IsLinkTag(tag)) {
      if (links == kMaxLinks) return ERROR_CANT_RESOLVE_FILENAME;
      std::string target;
      if (const DWORD linkError = detail::LinkTarget(entry.Get(), here, &target)) return linkError;
      std::string rest = Joined(std::string(), names, level, names.size());
      std::string next;
      if (const DWORD fullError = FullPath(rest.empty() ? target : target + '\\' + rest, &next)) return fullError;
      return Check(next, caller, links + 1, why);
    }
    if (!last) {
      BY_HANDLE_FILE_INFORMATION info{};
      if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(entry.Get()), &info)) return GetLastError();
      if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_PATH_NOT_FOUND;
    }
  }
  return 0;
}

}  // namespace

DWORD CheckTrusted(const std::string& path, std::string* why) {
  if (why) why->clear();
  DWORD error = 0;
  const std::string callerText = CallerSidText(&error);
  if (callerText.empty()) return error;
  const SidFromText caller(callerText);
  std::string full;
  if ((error = FullPath(path, &full)) != 0) return error;
  return Check(full, caller.get(), 0, why);
}

}  // namespace kdp
