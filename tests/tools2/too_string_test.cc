#include <tools2/too_string.h>

#include <gtest/gtest.h>
#include <kdplatform/win32.h>

#include <cstring>
#include <string>

namespace {

CTOOString FromBytes(const char* bytes, unsigned int n) {
  CTOOString s;
  s.Load(reinterpret_cast<const unsigned char*>(bytes), n);
  return s;
}

TEST(CTOOString, NullAndEmptyTextsAreEmptyAndNeverNull) {
  const CTOOString fromNull(static_cast<const char*>(nullptr));
  const CTOOString defaulted;
  for (const CTOOString* s : {&fromNull, &defaulted}) {
    EXPECT_TRUE(s->IsEmpty());
    EXPECT_EQ(s->Length(), 0u);
    ASSERT_NE(static_cast<const char*>(*s), nullptr);
    EXPECT_STREQ(static_cast<const char*>(*s), "");
  }
  EXPECT_TRUE(fromNull == static_cast<const char*>(nullptr));
  EXPECT_TRUE(fromNull == "");
}

TEST(CTOOString, EqualityComparesEveryByteIncludingEmbeddedZeros) {
  const CTOOString a = FromBytes("ab\0c", 4);
  const CTOOString b = FromBytes("ab\0d", 4);
  const CTOOString prefix("ab");
  EXPECT_EQ(a.Length(), 4u);
  EXPECT_STREQ(static_cast<const char*>(a), "ab");  // the C view ends at the zero
  EXPECT_TRUE(a != b);
  EXPECT_TRUE(a != prefix);
  EXPECT_FALSE(a == "ab");
  EXPECT_TRUE(a == FromBytes("ab\0c", 4));
  EXPECT_TRUE(CTOOString(std::string("ab\0c", 4)) == a);
  EXPECT_TRUE(CTOOString("abc") != "ABC");
  EXPECT_TRUE(CTOOString("abc") != "abcd");
  EXPECT_TRUE(CTOOString("abcd") != "abc");
}

TEST(CTOOString, LoadCopiesExactlyTheGivenBytesWithoutNeedingATerminator) {
  const unsigned char raw[] = {'C', ':', '\\', 'k', 'X', 'X'};
  CTOOString s("previous, longer text");
  s.Load(raw, 4);
  EXPECT_EQ(s.Length(), 4u);
  EXPECT_STREQ(static_cast<const char*>(s), "C:\\k");
  s.Load(nullptr, 10);
  EXPECT_TRUE(s.IsEmpty());
  s.Load(raw, 0);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CTOOString, AppendingGrowsAndSurvivesSelfReference) {
  CTOOString s("ab");
  s += 'c';
  s += "de";
  s += CTOOString("f");
  EXPECT_TRUE(s == "abcdef");
  s += s;
  EXPECT_TRUE(s == "abcdefabcdef");
  s += static_cast<const char*>(s);  // source lies inside the buffer that grows
  EXPECT_EQ(s.Length(), 24u);
  EXPECT_TRUE(s == "abcdefabcdefabcdefabcdef");
  std::string big(1000, 'x');
  s = big;
  EXPECT_EQ(s.Str(), big);
  EXPECT_TRUE(s + "y" == (big + "y").c_str());
}

TEST(CTOOString, CopyMoveAndSelfAssignment) {
  CTOOString a("secret");
  CTOOString b(a);
  b += '!';
  EXPECT_TRUE(a == "secret");
  const CTOOString& self = a;
  a = self;
  EXPECT_TRUE(a == "secret");
  a = static_cast<const char*>(a) + 2;  // assignment from inside itself
  EXPECT_TRUE(a == "cret");
  CTOOString moved(std::move(b));
  EXPECT_TRUE(moved == "secret!");
  EXPECT_TRUE(b.IsEmpty());  // a moved-from text is empty
  b = std::move(moved);
  EXPECT_TRUE(b == "secret!");
}

TEST(CTOOString, StrAddSlashAddsOneSeparatorUnlessOneEndsTheText) {
  const std::string separator(1, KDP_PATH_SEPARATOR);  // the system's
  CTOOString plain("C:\\keys");
  plain.StrAddSlash();
  EXPECT_EQ(std::string(plain), "C:\\keys" + separator);
  plain.StrAddSlash();
  EXPECT_EQ(std::string(plain), "C:\\keys" + separator);

  CTOOString back("C:\\keys\\");
  back.StrAddSlash();
  EXPECT_EQ(std::string(back), "C:\\keys\\");
  CTOOString forward("/keys/");
  forward.StrAddSlash();
  EXPECT_EQ(std::string(forward), "/keys/");

  CTOOString empty;
  empty.StrAddSlash();
  EXPECT_EQ(std::string(empty), separator);
}

}  // namespace
