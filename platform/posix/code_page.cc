// Conversion between the ANSI code page (UTF-8 here, as is CP_UTF8) and wide
// text (wchar_t is UTF-32 on Linux).
#include "kdplatform/win32.h"

#include "utf8.h"

#include <cstring>
#include <cwchar>

namespace {

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

constexpr char32_t kReplacement = 0xFFFD;

bool KnownCodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_UTF8; }

}  // namespace

int WINAPI kdp::MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength, LPWSTR wide,
                                    int wideLength) {
  if (!KnownCodePage(codePage) || !multiByte || multiByteLength == 0 || multiByteLength < -1 || wideLength < 0 ||
      (!wide && wideLength != 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (flags & ~MB_ERR_INVALID_CHARS) return Fail(ERROR_INVALID_FLAGS);

  // Length -1: the text and its terminator.
  const std::size_t inLength =
      multiByteLength == -1 ? std::strlen(multiByte) + 1 : static_cast<std::size_t>(multiByteLength);
  const auto* in = reinterpret_cast<const unsigned char*>(multiByte);
  std::size_t needed = 0;
  for (std::size_t pos = 0; pos < inLength;) {
    const auto unit = kdp::detail::DecodeUtf8(in + pos, inLength - pos);
    if (!unit.valid && (flags & MB_ERR_INVALID_CHARS)) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (wideLength != 0) {
      if (needed >= static_cast<std::size_t>(wideLength)) return Fail(ERROR_INSUFFICIENT_BUFFER);
      wide[needed] = static_cast<wchar_t>(unit.valid ? unit.codePoint : kReplacement);
    }
    ++needed;
    pos += unit.length;
  }
  return static_cast<int>(needed);
}

int WINAPI kdp::WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                                    int multiByteLength, LPCSTR defaultChar, BOOL* usedDefaultChar) {
  if (!KnownCodePage(codePage) || !wide || wideLength == 0 || wideLength < -1 || multiByteLength < 0 ||
      (!multiByte && multiByteLength != 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  // As with Windows, UTF-8 takes no default character.
  if (codePage == CP_UTF8 && (defaultChar || usedDefaultChar)) return Fail(ERROR_INVALID_PARAMETER);
  if (flags & ~WC_ERR_INVALID_CHARS) return Fail(ERROR_INVALID_FLAGS);

  const std::size_t inLength = wideLength == -1 ? std::wcslen(wide) + 1 : static_cast<std::size_t>(wideLength);
  if (usedDefaultChar) *usedDefaultChar = FALSE;

  std::size_t needed = 0;
  unsigned char encoded[4];
  for (std::size_t i = 0; i < inLength; ++i) {
    // wchar_t is signed: a negative value is no code point either.
    const auto value = static_cast<std::uint32_t>(wide[i]);
    if (value < 0x80u) {  // ASCII, nearly all the text here
      if (multiByteLength != 0) {
        if (needed >= static_cast<std::size_t>(multiByteLength)) return Fail(ERROR_INSUFFICIENT_BUFFER);
        multiByte[needed] = static_cast<char>(value);
      }
      ++needed;
      continue;
    }
    std::size_t length = kdp::detail::Utf8Length(value);
    const unsigned char* bytes = encoded;
    if (length == 1) {
      encoded[0] = static_cast<unsigned char>(value);
    } else if (length != 0) {
      kdp::detail::EncodeUtf8(value, encoded);
    } else {
      if (flags & WC_ERR_INVALID_CHARS) return Fail(ERROR_NO_UNICODE_TRANSLATION);
      if (usedDefaultChar) *usedDefaultChar = TRUE;
      if (defaultChar && *defaultChar) {
        bytes = reinterpret_cast<const unsigned char*>(defaultChar);
        length = 1;
      } else {
        length = kdp::detail::Utf8Length(kReplacement);
        kdp::detail::EncodeUtf8(kReplacement, encoded);
      }
    }
    if (multiByteLength != 0) {
      if (needed + length > static_cast<std::size_t>(multiByteLength)) return Fail(ERROR_INSUFFICIENT_BUFFER);
      std::memcpy(multiByte + needed, bytes, length);
    }
    needed += length;
  }
  return static_cast<int>(needed);
}
