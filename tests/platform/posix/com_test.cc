// _bstr_t ownership and _com_error as the platform layer has them on Linux.
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

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
