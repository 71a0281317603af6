// Lower-casing of one character, the same whatever the process locale: the
// "C.UTF-8" locale's table when the system has it, else ASCII letters only.
#pragma once

namespace kdp::detail {

// Lower-cases a character beyond ASCII.
char32_t ToLowerNonAscii(char32_t cp) noexcept;

inline char32_t ToLowerChar(char32_t cp) noexcept {
  if (cp < 0x80u) return (cp >= U'A' && cp <= U'Z') ? cp + (U'a' - U'A') : cp;
  return ToLowerNonAscii(cp);
}

}  // namespace kdp::detail
