#include "../folders.h"

#include <algorithm>

namespace kdp::detail {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The length of a path's root: "C:\" 3, "C:" 2, "\" 1, "\\server\share\" up
// to and including the separator after the share; 0 for a relative path.
std::size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::size_t at = path.find_first_of("\\/", 2);
    if (at != std::string::npos) at = path.find_first_of("\\/", at + 1);
    return at == std::string::npos ? path.size() : at + 1;
  }
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
  return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

}  // namespace

std::string ParentOf(const std::string& path) {
  const std::size_t root = RootLength(path);
  const std::string rootOrHere = root != 0 ? path.substr(0, root) : std::string(".");
  std::size_t end = path.size();
  while (end > root && IsSeparator(path[end - 1])) --end;
  if (end <= root) return rootOrHere;
  std::size_t separator = path.find_last_of("\\/", end - 1);
  if (separator == std::string::npos || separator < root) return rootOrHere;
  while (separator > root && IsSeparator(path[separator - 1])) --separator;
  return path.substr(0, std::max(separator, root));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  // "C:" is the drive's current folder, the parent of "C:name": a separator
  // would name the drive's root instead.
  if (folder.empty() || IsSeparator(folder.back()) || (folder.size() == 2 && folder[1] == ':')) return folder + name;
  return folder + '\\' + name;
}

}  // namespace kdp::detail
