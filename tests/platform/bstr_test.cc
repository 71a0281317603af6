// BSTR layout: the system's own on Windows, the platform layer's on Linux.
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(Bstr, LengthPrefixTextAndTerminator) {
  BSTR text = SysAllocString(L"key");
  ASSERT_NE(text, nullptr);
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text) - 4, 4);
  EXPECT_EQ(prefix, 3 * sizeof(wchar_t));
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(text[3], L'\0');
  SysFreeString(text);

  // Embedded zeros count; a null source gives zeroed text.
  const wchar_t withZero[] = {L'a', L'\0', L'b'};
  BSTR counted = SysAllocStringLen(withZero, 3);
  EXPECT_EQ(SysStringLen(counted), 3u);
  EXPECT_EQ(counted[2], L'b');
  SysFreeString(counted);
  BSTR blank = SysAllocStringLen(nullptr, 2);
  EXPECT_EQ(blank[0], L'\0');
  EXPECT_EQ(SysStringLen(blank), 2u);
  SysFreeString(blank);
}

}  // namespace
