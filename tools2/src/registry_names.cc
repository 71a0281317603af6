#include "registry_names.h"

namespace tools2::detail {

bool IsValidValueName(const char* name) {
  if (name == nullptr) {
    return false;
  }
  const std::string_view n(name);
  return !n.empty() && n.size() <= kMaxValueNameBytes && n.find_first_of("\\/") == std::string_view::npos &&
         n != "." && n != "..";
}

bool IsValidKeyPath(std::string_view keyPath) {
  if (keyPath.empty()) {
    return true;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = keyPath.find('\\', start);
    const std::size_t length = (end == std::string_view::npos ? keyPath.size() : end) - start;
    if (length == 0 || length > kMaxKeyNameBytes) {
      return false;
    }
    if (end == std::string_view::npos) {
      return true;
    }
    start = end + 1;
  }
}

}  // namespace tools2::detail
