#include "path_case.h"

#include "kdplatform/crt.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace kdp::detail {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

bool EqualIgnoringCase(const std::string& a, const char* b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()), reinterpret_cast<const unsigned char*>(b)) == 0;
}

// The entry of folder that equals name ignoring case; empty when none.
std::string FindEntry(const std::string& folder, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()), closedir);
  if (!dir) return {};
  std::string best;
  while (const dirent* entry = readdir(dir.get())) {
    if (EqualIgnoringCase(name, entry->d_name) && (best.empty() || best > entry->d_name)) best = entry->d_name;
  }
  return best;
}

}  // namespace

std::string ResolvePathIgnoringCase(const std::string& path) {
  if (path.empty()) return {};
  if (Exists(path)) return path;

  std::string resolved = path[0] == '/' ? "/" : "";
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;

    const std::string folder = resolved;
    if (!resolved.empty() && resolved.back() != '/') resolved += '/';
    if (component == "." || component == ".." || Exists(resolved + component)) {
      resolved += component;
      continue;
    }
    const std::string match = FindEntry(folder, component);
    if (match.empty()) return {};
    resolved += match;
  }
  return resolved;
}

}  // namespace kdp::detail
