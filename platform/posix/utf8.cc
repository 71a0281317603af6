#include "utf8.h"

namespace kdp::detail {

namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0u) == 0x80u; }

}  // namespace

Utf8Unit DecodeUtf8Sequence(const unsigned char* text, std::size_t available) noexcept {
  const unsigned char lead = text[0];
  if (lead < 0x80u) return {lead, 1, true};

  std::size_t length = 0;
  char32_t cp = 0;
  // The allowed range of the second byte excludes overlong forms, surrogates
  // and values above U+10FFFF.
  unsigned char low = 0x80u, high = 0xBFu;
  if (lead >= 0xC2u && lead <= 0xDFu) {
    length = 2;
    cp = lead & 0x1Fu;
  } else if (lead >= 0xE0u && lead <= 0xEFu) {
    length = 3;
    cp = lead & 0x0Fu;
    if (lead == 0xE0u) low = 0xA0u;
    if (lead == 0xEDu) high = 0x9Fu;
  } else if (lead >= 0xF0u && lead <= 0xF4u) {
    length = 4;
    cp = lead & 0x07u;
    if (lead == 0xF0u) low = 0x90u;
    if (lead == 0xF4u) high = 0x8Fu;
  } else {
    return {0, 1, false};
  }

  for (std::size_t i = 1; i < length; ++i) {
    if (i >= available) return {0, i, false};
    const unsigned char b = text[i];
    const bool inRange = i == 1 ? (b >= low && b <= high) : IsContinuation(b);
    if (!inRange) return {0, i, false};
    cp = (cp << 6) | (b & 0x3Fu);
  }
  return {cp, length, true};
}

void EncodeUtf8(char32_t cp, unsigned char* out) noexcept {
  switch (Utf8Length(cp)) {
    case 1: out[0] = static_cast<unsigned char>(cp); break;
    case 2:
      out[0] = static_cast<unsigned char>(0xC0u | (cp >> 6));
      out[1] = static_cast<unsigned char>(0x80u | (cp & 0x3Fu));
      break;
    case 3:
      out[0] = static_cast<unsigned char>(0xE0u | (cp >> 12));
      out[1] = static_cast<unsigned char>(0x80u | ((cp >> 6) & 0x3Fu));
      out[2] = static_cast<unsigned char>(0x80u | (cp & 0x3Fu));
      break;
    case 4:
      out[0] = static_cast<unsigned char>(0xF0u | (cp >> 18));
      out[1] = static_cast<unsigned char>(0x80u | ((cp >> 12) & 0x3Fu));
      out[2] = static_cast<unsigned char>(0x80u | ((cp >> 6) & 0x3Fu));
      out[3] = static_cast<unsigned char>(0x80u | (cp & 0x3Fu));
      break;
    default: break;
  }
}

}  // namespace kdp::detail
