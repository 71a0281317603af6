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

// Decodes the unit at text[0]; reads at most `available` bytes (>= 1).
Utf8Unit DecodeUtf8(const unsigned char* text, std::size_t available) noexcept;

// Number of bytes of the encoding of cp, 0 for a surrogate or a value above
// U+10FFFF.
std::size_t Utf8Length(char32_t cp) noexcept;

// Writes the encoding of a valid cp (Utf8Length(cp) bytes) to out.
void EncodeUtf8(char32_t cp, unsigned char* out) noexcept;

}  // namespace kdp::detail
