// BSTR layout, _bstr_t ownership and _com_error.
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

TEST(BstrT, ConvertsAnsiAndOwnsACopy) {
  _bstr_t path("c:\\absent_file \xE2\x82\xAC");
  ASSERT_NE(static_cast<const wchar_t*>(path), nullptr);
  EXPECT_EQ(std::wstring(path), L"c:\\absent_file \u20AC");
  EXPECT_EQ(path.length(), 16u);

  _bstr_t copy(path);
  EXPECT_NE(static_cast<const wchar_t*>(copy), static_cast<const wchar_t*>(path));
  EXPECT_EQ(std::wstring(copy), std::wstring(path));
  _bstr_t assigned;
  assigned = copy;
  const _bstr_t& self = assigned;
  assigned = self;
  EXPECT_EQ(std::wstring(assigned), std::wstring(path));

  _bstr_t none(static_cast<const char*>(nullptr));
  EXPECT_EQ(static_cast<const wchar_t*>(none), nullptr);
  EXPECT_EQ(none.length(), 0u);
  _bstr_t empty("");
  ASSERT_NE(static_cast<const wchar_t*>(empty), nullptr);
  EXPECT_EQ(empty.length(), 0u);
}

TEST(ComError, MessagesAndIssue) {
  EXPECT_STREQ(_com_error(E_INVALIDARG).ErrorMessage(), "E_INVALIDARG");
  EXPECT_STREQ(_com_error(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)).ErrorMessage(),
               "HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)");
  EXPECT_STREQ(_com_error(KDP_HR(0x80041234u)).ErrorMessage(), "Unknown error 0x80041234");

  try {
    _com_issue_error(E_OUTOFMEMORY);
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_OUTOFMEMORY);
  }
}

}  // namespace
