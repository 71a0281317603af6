#include "tools2/path_utils.h"

#include <kdplatform/native_path.h>
#include <kdplatform/path_names.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

std::string CurrentFolder() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      return "/";
    }
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

// The path as a canonical absolute text: "/a/b", or "/" for the root. A path
// on an unmapped drive keeps its "X:" in front instead of a root.
std::string Normalise(const std::string& path) {
  std::string text;
  std::string prefix;
  if (kdp::ToNativePath(path.c_str(), &text)) {
    if (text.empty() || text[0] != '/') {
      text = CurrentFolder() + "/" + text;
    }
  } else {
    prefix = path.substr(0, 2);
    prefix[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(prefix[0])));  // drive letters ignore case
    text = path.substr(2);
  }
  std::vector<std::string_view> parts;
  std::string_view rest(text);
  while (!rest.empty()) {
    const std::size_t cut = rest.find_first_of("/\\");
    const std::string_view part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    if (part.empty() || part == ".") {
      continue;
    }
    if (part == "..") {
      if (!parts.empty()) {
        parts.pop_back();
      }
      continue;
    }
    parts.push_back(part);
  }
  std::string result = prefix;
  for (const std::string_view part : parts) {
    result += '/';
    result += part;
  }
  return result.empty() || result == prefix ? result + "/" : result;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::string na;
  std::string nb;
  return kdp::ToNativePath(a.c_str(), &na) && kdp::ToNativePath(b.c_str(), &nb) && kdp::IsSameFile(na, nb);
}

}  // namespace

bool TOOUtils::IsPathEqual(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) {
    return a.empty() && b.empty();
  }
  return Normalise(a) == Normalise(b) || SameFile(a, b);
}
