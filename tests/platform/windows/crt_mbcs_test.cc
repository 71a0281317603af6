// The C run-time's multibyte comparison and lower-casing, as the library uses
// them on device names and module paths: ASCII letters fold in any locale,
// other bytes are kept and compared as they are (the second byte of a
// double-byte character too), and a buffer is never read or written past the
// size given.
#include "../mbcs_text.h"

#include <gtest/gtest.h>
#include <mbctype.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kdtest::ICmp;
using kdtest::Lowered;

TEST(MbsICmp, IgnoresCaseOfAsciiLetters) {
  EXPECT_EQ(ICmp("Token-A", "tOKEN-a"), 0);
  EXPECT_EQ(ICmp("SOFT TOKEN 1", "soft token 1"), 0);
  EXPECT_LT(ICmp("abc", "ABD"), 0);
  EXPECT_GT(ICmp("abcd", "ABC"), 0);
  EXPECT_NE(ICmp("Token-A", "Token-A "), 0);
}

// A program that sets a locale of its own must still find its devices: the
// Turkish one lower-cases 'I' to a dotless letter.
TEST(MbsICmp, SameResultWhateverTheProcessLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  for (const char* locale : {"C", "Turkish", "German"}) {
    if (!std::setlocale(LC_ALL, locale)) continue;
    EXPECT_EQ(ICmp("TOKEN-I", "token-i"), 0) << locale;
    EXPECT_EQ(ICmp("Soft Token", "SOFT TOKEN"), 0) << locale;
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(MbsICmp, InvalidBytesCompareAsBytes) {
  EXPECT_EQ(ICmp("a\xFF"
                 "b",
                 "A\xFF"
                 "B"),
            0);
  EXPECT_NE(ICmp("a\xFE", "a\xFF"), 0);
  EXPECT_NE(ICmp("\x81", "\x82"), 0);  // undefined in the usual code pages
  EXPECT_NE(ICmp("a", "a\x81"), 0);    // the order of such bytes is the run-time's, unused
}

// The run-time's multibyte code page set to Shift-JIS, the ANSI code page of
// Japanese Windows, for the life of the object.
class ShiftJis {
 public:
  ShiftJis() : previous_(_getmbcp()), set_(_setmbcp(932) == 0) {}
  ~ShiftJis() { _setmbcp(previous_); }
  ShiftJis(const ShiftJis&) = delete;
  ShiftJis& operator=(const ShiftJis&) = delete;
  bool set() const { return set_; }

 private:
  int previous_;
  bool set_;
};

// A double-byte character's second byte may be an ASCII letter's: "\x83\x41"
// is katakana A, "\x83\x61" katakana DI. Folded as letters, two device names
// would be taken for one.
TEST(MbsICmp, TrailBytesOfADoubleByteCodePageAreNotLetters) {
  const ShiftJis sjis;
  if (!sjis.set()) GTEST_SKIP() << "no Shift-JIS tables here";
  EXPECT_NE(ICmp("\x83\x41", "\x83\x61"), 0);
  EXPECT_NE(ICmp("Token \x83\x41", "TOKEN \x83\x61"), 0);
  EXPECT_EQ(ICmp("Token \x83\x41", "TOKEN \x83\x41"), 0);
}

TEST(MbsLwrS, KeepsTrailBytesOfADoubleByteCodePage) {
  const ShiftJis sjis;
  if (!sjis.set()) GTEST_SKIP() << "no Shift-JIS tables here";
  EXPECT_EQ(Lowered("C:\\KEYS\\\x83\x41\x83\x5C.DAT"), "c:\\keys\\\x83\x41\x83\x5C.dat");
}

// No run-time message, no end of the program: the refusal is the result.
void IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {}

TEST(MbsLwrS, LowersInPlaceKeepingLengths) {
  EXPECT_EQ(Lowered("C:\\Program Files\\MALTROVE\\Nodyx.DLL"), "c:\\program files\\maltrove\\nodyx.dll");
  EXPECT_EQ(Lowered("A\xFF"
                    "B\x81"),
            "a\xFF"
            "b\x81");
}

TEST(MbsLwrS, RefusesUnterminatedOrNull) {
  const _invalid_parameter_handler previous = _set_invalid_parameter_handler(IgnoreInvalidParameter);
  std::vector<unsigned char> unterminated = {'A', 'B', 'C', 'D'};
  EXPECT_EQ(_mbslwr_s(unterminated.data(), 3), EINVAL);
  EXPECT_EQ(unterminated[3], 'D');
  EXPECT_EQ(_mbslwr_s(nullptr, 4), EINVAL);

  // Only the first `size` bytes may be looked at.
  unsigned char text[] = "AB\0CD";
  EXPECT_EQ(_mbslwr_s(text, 3), 0);
  EXPECT_EQ(0, std::memcmp(text, "ab\0CD", 6));
  _set_invalid_parameter_handler(previous);
}

}  // namespace
