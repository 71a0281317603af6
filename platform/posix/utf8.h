// UTF-8, the ANSI code page of this platform layer: decoding with the
// maximal-subpart rule (an invalid sequence is consumed as the longest prefix
// that could have started a valid one, at least one byte) and encoding.
#pragma once

#include <cstddef>

namespace kdp::detail {

struct Utf8Unit {
  char32_t codePoint;  // meaningful only when valid
  std::size_t length;  // bytes consumed, >= 1
  bool valid;
};

// Decodes a unit whose first byte is not ASCII; reads at most `available`
// bytes (>= 1).
Utf8Unit DecodeUtf8Sequence(const unsigned char* text, std::size_t available) noexcept;

// Decodes the unit at text[0]; reads at most `available` bytes (>= 1).
// ASCII, nearly all the text here, takes no call.
inline Utf8Unit DecodeUtf8(const unsigned char* text, std::size_t available) noexcept {
  if (text[0] < 0x80u) return {text[0], 1, true};
  return DecodeUtf8Sequence(text, available);
}

// Number of bytes of the encoding of cp, 0 for a surrogate or a value above
// U+10FFFF.
inline std::size_t Utf8Length(char32_t cp) noexcept {
  if (cp < 0x80u) return 1;
  if (cp < 0x800u) return 2;
  if (cp >= 0xD800u && cp <= 0xDFFFu) return 0;
  if (cp < 0x10000u) return 3;
  if (cp <= 0x10FFFFu) return 4;
  return 0;
}

// Writes the encoding of a valid cp (Utf8Length(cp) bytes) to out.
void EncodeUtf8(char32_t cp, unsigned char* out) noexcept;

}  // namespace kdp::detail
