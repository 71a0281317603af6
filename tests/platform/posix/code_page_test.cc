// On Linux the ANSI code page is UTF-8: CP_ACP converts as CP_UTF8 does.
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Wide(UINT codePage, const char* text) {
  std::vector<wchar_t> wide(64);
  const int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, wide.data(), 64);
  return count > 0 ? std::wstring(wide.data(), static_cast<std::size_t>(count)) : L"failed";
}

std::string Narrow(UINT codePage, const std::wstring& text) {
  std::vector<char> bytes(64);
  const int count = WideCharToMultiByte(codePage, 0, text.c_str(), -1, bytes.data(), 64, nullptr, nullptr);
  return count > 0 ? std::string(bytes.data(), static_cast<std::size_t>(count)) : "failed";
}

TEST(CodePage, TheAnsiCodePageIsUtf8) {
  const char text[] = "Schl\xC3\xBCssel \xE2\x82\xAC \xF0\x9F\x94\x91";  // Schlüssel € 🔑
  EXPECT_EQ(Wide(CP_ACP, text), Wide(CP_UTF8, text));
  EXPECT_EQ(Wide(CP_ACP, text).size(), 14u);  // 13 characters and the terminator
  EXPECT_EQ(Narrow(CP_ACP, Wide(CP_UTF8, text)), std::string(text, sizeof text));
  EXPECT_EQ(Wide(CP_ACP, "a\xFF"), L"failed");  // no byte of its own, as UTF-8
}

}  // namespace
