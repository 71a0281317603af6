#include "kdplatform/printable_text.h"

namespace kdp {

namespace {

struct Character {
  char32_t code = 0;
  std::size_t size = 0;  // 0: the bytes start no well-formed UTF-8 character
};

// The well-formed UTF-8 character at the start of text (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF).
Character FirstCharacter(std::string_view text) noexcept {
  if (text.empty()) return {};
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) return {lead, 1};
  std::size_t size = 0;
  char32_t code = 0, least = 0;
  if ((lead & 0xE0) == 0xC0) {
    size = 2, code = lead & 0x1Fu, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    size = 3, code = lead & 0x0Fu, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    size = 4, code = lead & 0x07u, least = 0x10000;
  } else {
    return {};
  }
  if (text.size() < size) return {};
  for (std::size_t i = 1; i < size; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return {};
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {code, size};
}

bool Printable(char32_t c) noexcept {
  const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
  const bool bidi =
      c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
  return !control && !bidi;
}

}  // namespace

std::size_t PrintableCharacterSize(std::string_view text) noexcept {
  const Character c = FirstCharacter(text);
  return c.size != 0 && Printable(c.code) ? c.size : 0;
}

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const Character c = FirstCharacter(text);
    const std::size_t size = c.size != 0 ? c.size : 1;
    if (c.size != 0 && Printable(c.code)) {
      out.append(text.substr(0, size));
    } else {
      out += '_';
    }
    text.remove_prefix(size);
  }
  return out;
}

}  // namespace kdp
