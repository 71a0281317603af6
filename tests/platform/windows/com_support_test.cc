// What MinGW's _bstr_t calls out of line (windows/com_support.cc): text in
// the ANSI code page and back, copies that own their text.
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

// A path with a letter beyond ASCII, as a filter file's path reaches the XML
// reader: the process's ANSI code page decides the wide text.
TEST(BstrT, ConvertsAnsiAndOwnsACopy) {
  char letter[8] = {};
  BOOL lost = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, 0, L"\u00e9", 1, letter, sizeof letter - 1, nullptr, &lost);
  if (length <= 0 || lost) GTEST_SKIP() << "the ANSI code page has no e-acute";
  const std::string ansi = std::string("c:\\absent_file ") + letter;

  _bstr_t copy;
  {
    const _bstr_t path(ansi.c_str());
    EXPECT_EQ(std::wstring(path), L"c:\\absent_file \u00e9");
    EXPECT_EQ(path.length(), 16u);
    EXPECT_EQ(static_cast<const char*>(path), ansi);
    copy = path;
    _bstr_t& self = copy;
    copy = self;
  }
  EXPECT_EQ(std::wstring(copy), L"c:\\absent_file \u00e9") << "the copy outlives the original";
}

}  // namespace
