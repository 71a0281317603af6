#include "number_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace keydepot::detail {

bool ReadLong32WithStrtol(std::string_view text, long& value) {
  // strtol wants a terminated text; fields are short, so a copy on the stack
  // does for nearly all.
  char small[32];
  std::string large;
  const char* start = small;
  if (text.size() < sizeof small) {
    text.copy(small, text.size());
    small[text.size()] = '\0';
  } else {
    large.assign(text);
    start = large.c_str();
  }
  char* end = nullptr;
  errno = 0;
  const long read = std::strtol(start, &end, 10);
  if (end == start) return false;
  value = std::clamp<long>(read, INT32_MIN, INT32_MAX);
  return true;
}

long Atoi32(std::string_view text) {
  long value = 0;
  return ReadLong32(text, value) ? value : 0;
}

}  // namespace keydepot::detail
