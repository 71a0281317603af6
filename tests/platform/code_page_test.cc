// Conversions between UTF-8 and wide text, held to the system's own on
// Windows and to the platform layer's on Linux. That the ANSI code page is
// UTF-8 holds on Linux only (posix/).
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

const char kText[] = "Schl\xC3\xBCssel \xE2\x82\xAC \xF0\x9F\x94\x91";  // Schlüssel € 🔑
// The same text as the compiler writes wide text: UTF-16 on Windows (the key
// a surrogate pair), UTF-32 on Linux.
const wchar_t kWide[] = L"Schl\u00FCssel \u20AC \U0001F511";

TEST(CodePage, Utf8RoundTripsThroughWideText) {
  const int wideCount = MultiByteToWideChar(CP_UTF8, 0, kText, -1, nullptr, 0);
  ASSERT_EQ(wideCount, static_cast<int>(std::size(kWide)));
  std::vector<wchar_t> wide(static_cast<size_t>(wideCount));
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, kText, -1, wide.data(), wideCount), wideCount);
  EXPECT_EQ(std::wstring(wide.data()), kWide);

  const int byteCount = WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  ASSERT_EQ(byteCount, static_cast<int>(sizeof kText));
  std::vector<char> back(static_cast<size_t>(byteCount));
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, back.data(), byteCount, nullptr, nullptr), byteCount);
  EXPECT_STREQ(back.data(), kText);
}

TEST(CodePage, TooSmallBufferFails) {
  wchar_t wide[3];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

  char bytes[3];
  const wchar_t euro[] = L"\u20AC";
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, euro, 1, bytes, 2, nullptr, nullptr), 0);  // needs 3
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, InvalidInput) {
  const char bad[] =
      "a\xE2\x82"
      "b\xFF";  // a cut sequence and a byte that never starts one
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);

  wchar_t wide[8];
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, bad, -1, wide, 8), 5);
  EXPECT_EQ(std::wstring(wide, 5), (std::wstring{L'a', 0xFFFD, L'b', 0xFFFD, L'\0'}));

  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'\0'};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, surrogate, -1, nullptr, 0, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  char bytes[8];
  BOOL usedDefault = FALSE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, surrogate, -1, bytes, 8, "?", &usedDefault), 3);
  EXPECT_STREQ(bytes, "a?");
  EXPECT_TRUE(usedDefault);
}

}  // namespace
