// The test component's identifier text form: two upper-case hex digits per
// byte. Reading accepts either case, so two texts that differ only in case
// name the same identifier.
#pragma once

#include "testcomponent/control.h"

#include <optional>
#include <string>
#include <string_view>

namespace kdtc {

inline std::string IdToHex(const Bytes& id) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(id.size() * 2);
  for (BYTE b : id) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

// nullopt for an empty text, an odd length or a character that is no hex digit.
inline std::optional<Bytes> HexToId(std::string_view text) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  Bytes id;
  id.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = nibble(text[i]);
    const int lo = nibble(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    id.push_back(static_cast<BYTE>(hi << 4 | lo));
  }
  return id;
}

}  // namespace kdtc
