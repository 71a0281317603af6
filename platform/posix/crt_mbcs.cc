// Multibyte comparison and lower-casing in the ANSI code page, which is UTF-8
// here. Bytes that do not form valid UTF-8 are compared and kept as bytes.
#include "kdplatform/crt.h"

#include "case_fold.h"
#include "utf8.h"

#include <cerrno>
#include <cstring>

using kdp::detail::DecodeUtf8;
using kdp::detail::ToLowerChar;

int kdp::_mbsicmp(const unsigned char* a, const unsigned char* b) {
  if (!a || !b) {
    errno = EINVAL;
    return _NLSCMPERROR;
  }
  // Units are decoded up to and including the terminator, so DecodeUtf8 never
  // reads past it (a zero byte is never a continuation byte).
  for (;;) {
    const auto ua = DecodeUtf8(a, 4);
    const auto ub = DecodeUtf8(b, 4);
    if (ua.valid && ub.valid) {
      const char32_t la = ToLowerChar(ua.codePoint);
      const char32_t lb = ToLowerChar(ub.codePoint);
      if (la != lb) return la < lb ? -1 : 1;
      if (la == 0) return 0;
      a += ua.length;
      b += ub.length;
    } else {
      // One side is not valid UTF-8 here: compare one byte and step one byte
      // on both sides, so equal results still mean equal bytes.
      if (*a != *b) return *a < *b ? -1 : 1;
      ++a;
      ++b;
    }
  }
}

int kdp::_mbscmp(const unsigned char* a, const unsigned char* b) {
  if (!a || !b) {
    errno = EINVAL;
    return _NLSCMPERROR;
  }
  const int r = std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

errno_t kdp::_mbslwr_s(unsigned char* str, std::size_t size) {
  if (!str) return EINVAL;
  const std::size_t length = strnlen(reinterpret_cast<const char*>(str), size);
  if (length == size) return EINVAL;
  std::size_t pos = 0;
  // ASCII, byte by byte, until the first byte that starts a longer unit.
  for (; pos < length && str[pos] < 0x80u; ++pos) {
    if (str[pos] >= 'A' && str[pos] <= 'Z') str[pos] = static_cast<unsigned char>(str[pos] + ('a' - 'A'));
  }
  while (pos < length) {
    const auto unit = DecodeUtf8(str + pos, length - pos);
    if (unit.valid) {
      const char32_t lower = ToLowerChar(unit.codePoint);
      // A lower-case form of another length would move the rest of the text.
      if (lower != unit.codePoint && kdp::detail::Utf8Length(lower) == unit.length) {
        kdp::detail::EncodeUtf8(lower, str + pos);
      }
    }
    pos += unit.length;
  }
  return 0;
}
