#include "registry_store.h"

#include <cstdlib>
#include <cstring>

namespace tools2::detail {

namespace {

constexpr std::uint8_t kMagic[4] = {'K', 'D', 'R', 'G'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kNameMax = 255;  // NAME_MAX of the usual file systems

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void AppendEscaped(std::string* out, char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto u = static_cast<unsigned char>(c);
  *out += '%';
  *out += kHex[u >> 4];
  *out += kHex[u & 0x0F];
}

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint8_t* WriteU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
  return p + 4;
}

}  // namespace

std::string RegistryRoot() {
  const char* env = std::getenv("KEYDEPOT_REGISTRY");
  return (env != nullptr && *env != '\0') ? std::string(env) : std::string(kDefaultRegistryRoot);
}

bool KeyPathToFolders(std::string_view keyPath, std::vector<std::string>* parts) {
  parts->clear();
  if (keyPath.empty()) {
    return true;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = keyPath.find('\\', start);
    const std::string_view part = keyPath.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.empty()) {
      return false;
    }
    std::string folder;
    for (std::size_t i = 0; i < part.size(); ++i) {
      const char c = part[i];
      if (c == '%' || c == '/' || (i == 0 && c == '.')) {
        AppendEscaped(&folder, c);
      } else {
        folder += AsciiLower(c);
      }
    }
    if (folder.size() > kNameMax) {
      return false;
    }
    parts->push_back(std::move(folder));
    if (end == std::string_view::npos) {
      return true;
    }
    start = end + 1;
  }
}

bool SameValueName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) {
      return false;
    }
  }
  return true;
}

bool ParseValues(const std::uint8_t* bytes, std::size_t size, std::vector<ValueView>* values) {
  values->clear();
  if (size < 8 || std::memcmp(bytes, kMagic, sizeof kMagic) != 0 || ReadU32(bytes + 4) != kVersion) {
    return false;
  }
  std::size_t pos = 8;
  while (pos < size) {
    ValueView v;
    if (size - pos < 4) return false;
    const std::uint32_t nameLength = ReadU32(bytes + pos);
    pos += 4;
    if (nameLength == 0 || nameLength > kMaxValueNameBytes || size - pos < nameLength) return false;
    v.name = std::string_view(reinterpret_cast<const char*>(bytes + pos), nameLength);
    pos += nameLength;
    if (size - pos < 8) return false;
    v.type = ReadU32(bytes + pos);
    v.size = ReadU32(bytes + pos + 4);
    pos += 8;
    if (v.size > kMaxValueBytes || size - pos < v.size) return false;
    v.data = bytes + pos;
    pos += v.size;
    values->push_back(v);
  }
  return true;
}

WipedBytes SerializeValues(const std::vector<ValueView>& values) {
  std::size_t total = 8;
  for (const ValueView& v : values) total += 12 + v.name.size() + v.size;
  WipedBytes out(total);
  std::uint8_t* p = out.data();
  std::memcpy(p, kMagic, sizeof kMagic);
  p = WriteU32(p + 4, kVersion);
  for (const ValueView& v : values) {
    p = WriteU32(p, static_cast<std::uint32_t>(v.name.size()));
    std::memcpy(p, v.name.data(), v.name.size());
    p = WriteU32(p + v.name.size(), v.type);
    p = WriteU32(p, v.size);
    if (v.size != 0) std::memcpy(p, v.data, v.size);
    p += v.size;
  }
  return out;
}

}  // namespace tools2::detail
