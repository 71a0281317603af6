// TOOUtils on Windows: paths made absolute by the system (GetFullPathNameA),
// compared ignoring letter case as Windows file names are, and files
// identified by their volume and file index.
#include "tools2/path_utils.h"

#include <kdplatform/path_names.h>
#include <kdplatform/win32.h>

#include <string>

namespace {

// The absolute path without trailing separators (a root keeps its own); ""
// when the system cannot make one.
std::string Normalise(const std::string& path) {
  std::string full(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return {};
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);
  }
  for (char& c : full) {
    if (c == '/') c = '\\';
  }
  // "C:\" and "\\server\share\" keep their last separator; "C:\a\" does not.
  while (full.size() > 3 && full.back() == '\\' && full[full.size() - 2] != '\\') full.pop_back();
  return full;
}

bool SameFile(const std::string& a, const std::string& b) { return kdp::IsSameFile(a, b); }

}  // namespace

bool TOOUtils::IsPathEqual(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) {
    return a.empty() && b.empty();
  }
  const std::string na = Normalise(a);
  const std::string nb = Normalise(b);
  if (!na.empty() && !nb.empty() &&
      _mbsicmp(reinterpret_cast<const unsigned char*>(na.c_str()),
               reinterpret_cast<const unsigned char*>(nb.c_str())) == 0) {
    return true;
  }
  return SameFile(a, b);
}
