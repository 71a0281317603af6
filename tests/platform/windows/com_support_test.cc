// What MinGW's _bstr_t calls out of line (windows/com_support.cc).
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ComSupport, BstrFromAnsiText) {
  const _bstr_t path("c:\\absent_file");
  EXPECT_EQ(std::wstring(path), L"c:\\absent_file");
  EXPECT_EQ(path.length(), 14u);
  EXPECT_STREQ(static_cast<const char*>(path), "c:\\absent_file");  // and back

  const _bstr_t none(static_cast<const char*>(nullptr));
  EXPECT_EQ(static_cast<const wchar_t*>(none), nullptr);
  const _bstr_t empty("");
  ASSERT_NE(static_cast<const wchar_t*>(empty), nullptr);
  EXPECT_EQ(empty.length(), 0u);

  try {
    _com_issue_error(E_OUTOFMEMORY);
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_OUTOFMEMORY);
  }
}

}  // namespace
