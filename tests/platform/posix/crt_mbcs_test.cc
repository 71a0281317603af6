// Multibyte comparison and lower-casing in UTF-8.
#include "../mbcs_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kdtest::ICmp;
using kdtest::Lowered;

TEST(MbsICmp, IgnoresCaseOfAsciiAndOtherLetters) {
  EXPECT_EQ(ICmp("Token-A", "tOKEN-a"), 0);
  EXPECT_EQ(ICmp("\xC3\x84rger", "\xC3\xA4RGER"), 0);                                          // Ärger / äRGER
  EXPECT_EQ(ICmp("\xD0\x9A\xD0\x9B\xD0\xAE\xD0\xA7", "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87"), 0);  // КЛЮЧ / ключ
  EXPECT_LT(ICmp("abc", "ABD"), 0);
  EXPECT_GT(ICmp("abcd", "ABC"), 0);
  EXPECT_LT(ICmp("z", "\xC3\xA4"), 0);  // code point order after folding
  EXPECT_NE(ICmp("\xC3\x84", "A"), 0);
}

TEST(MbsICmp, SameResultWhateverTheProcessLocale) {
  const char* old = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = old ? old : "C";
  std::setlocale(LC_CTYPE, "C");
  EXPECT_EQ(ICmp("\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89"), 0);  // Été / éTÉ
  std::setlocale(LC_CTYPE, saved.c_str());
}

TEST(MbsICmp, InvalidBytesCompareAsBytes) {
  EXPECT_EQ(ICmp("a\xFF"
                 "b",
                 "A\xFF"
                 "B"),
            0);
  EXPECT_NE(ICmp("a\xFE", "a\xFF"), 0);
  EXPECT_LT(ICmp("\xC3", "\xC3\xA4"), 0);  // a cut sequence is not the letter
  EXPECT_NE(ICmp("\xC3"
                 "A",
                 "\xC3"
                 "\xA4"),
            0);
  EXPECT_NE(ICmp("\xE0\x81\x81", "A"), 0);  // an overlong form is not the letter
  EXPECT_NE(ICmp("\xE0\x81\x81", "a"), 0);
}

TEST(MbsLwrS, LowersInPlaceKeepingLengths) {
  EXPECT_EQ(Lowered("/Home/ALICE/\xC3\x84\xD0\x9A.SO"), "/home/alice/\xC3\xA4\xD0\xBA.so");
  // U+023A lower-cases to a 3-byte character and U+0130 to a 1-byte one:
  // both stay, so the text keeps its length.
  EXPECT_EQ(Lowered("\xC8\xBA\xC4\xB0X"), "\xC8\xBA\xC4\xB0x");
  EXPECT_EQ(Lowered("A\xFF\xC3"), "a\xFF\xC3");
}

TEST(MbsLwrS, RefusesUnterminatedOrNull) {
  std::vector<unsigned char> unterminated = {'A', 'B', 'C'};
  EXPECT_EQ(_mbslwr_s(unterminated.data(), unterminated.size()), EINVAL);
  EXPECT_EQ(unterminated[0], 'A');
  EXPECT_EQ(_mbslwr_s(nullptr, 4), EINVAL);

  // Only the first `size` bytes may be looked at.
  unsigned char text[] = "AB\0CD";
  EXPECT_EQ(_mbslwr_s(text, 3), 0);
  EXPECT_EQ(0, std::memcmp(text, "ab\0CD", 6));
}

}  // namespace
