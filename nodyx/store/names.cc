#include "names.h"

#include "kdplatform/file_io.h"

#include <cstring>

namespace nodyx {

namespace {

// Bounded scan: a name longer than the limit is refused without reading
// further than one byte past it.
std::string_view Bounded(const char* name) { return {name, strnlen(name, kMaxNameBytes + 1)}; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The names Windows keeps for devices, in every folder. A superscript digit
// is taken in UTF-8 and in the Windows code pages (one byte), as a name may
// come in either.
bool IsDeviceName(std::string_view base) {
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const std::string_view reserved : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
    if (EqualIgnoringCase(base, reserved)) return true;
  }
  if (base.size() < 4 ||
      (!EqualIgnoringCase(base.substr(0, 3), "com") && !EqualIgnoringCase(base.substr(0, 3), "lpt"))) {
    return false;
  }
  const std::string_view number = base.substr(3);
  if (number.size() == 1 && number[0] >= '0' && number[0] <= '9') return true;
  for (const std::string_view superscript : {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3", "\xB9", "\xB2", "\xB3"}) {
    if (number == superscript) return true;
  }
  return false;
}

}  // namespace

std::string_view ObjectNameProblem(std::string_view name) {
  if (name.empty()) return "it is empty";
  if (name.size() > kMaxNameBytes) return "it is longer than 255 bytes";
  if (name == "." || name == "..") return "'.' and '..' name folders";
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\') return "it holds '/' or '\\'";
    if (u < 0x20 || u == 0x7F) return "it holds a control character";
  }
  return {};
}

bool IsValidObjectName(const char* name) { return name != nullptr && IsValidObjectName(Bounded(name)); }

bool IsValidObjectName(std::string_view name) { return ObjectNameProblem(name).empty(); }

std::string_view StoreNameProblem(std::string_view name) {
  if (const std::string_view problem = ObjectNameProblem(name); !problem.empty()) return problem;
  // Temporary files of a write in progress share the item folders.
  if (kdp::IsTemporaryFileName(name)) return "it is the name of a save's temporary file";
  if (name.find_first_of(":<>\"|?*") != std::string_view::npos) {
    return "it holds one of : < > \" | ? *, which Windows does not allow in a file name";
  }
  if (name.back() == '.' || name.back() == ' ') return "it ends in '.' or ' ', which Windows drops";
  if (IsDeviceName(name.substr(0, name.find('.')))) return "Windows keeps it for a device, with any extension";
  return {};
}

bool IsValidStoreName(const char* name) { return name != nullptr && IsValidStoreName(Bounded(name)); }

bool IsValidStoreName(std::string_view name) { return StoreNameProblem(name).empty(); }

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
