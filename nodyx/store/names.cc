#include "names.h"

#include "kdplatform/file_io.h"

#include <cstring>

namespace nodyx {

bool IsValidStoreName(const char* name) {
  if (name == nullptr) return false;
  // Bounded scan: a name longer than the limit is refused without reading
  // further than one byte past it.
  const std::size_t length = strnlen(name, kMaxNameBytes + 1);
  return IsValidStoreName(std::string_view(name, length));
}

bool IsValidStoreName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameBytes) return false;
  // Temporary files of a write in progress share the item folders.
  if (name == "." || name == ".." || kdp::IsTemporaryFileName(name)) return false;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

bool IsValidDeviceName(std::string_view name) {
  if (name.size() > kMaxNameBytes) return false;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '|' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

void CopyTruncated(std::string_view text, char* buffer, std::size_t size) {
  std::size_t length = text.size();
  if (length >= size) {
    length = size - 1;
    // Step back over UTF-8 continuation bytes so no character is split.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

}  // namespace nodyx
