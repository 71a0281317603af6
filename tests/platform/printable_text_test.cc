// The one cleaning of text for the terminal: what would drive a terminal or
// reorder its text becomes '_', everything else is kept byte for byte.
#include "kdplatform/printable_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PrintableText, EscapeSequencesAndControlsBecomeUnderscores) {
  EXPECT_EQ(kdp::PrintableText("a\x1b[2Jb"), "a_[2Jb");                       // clear the screen
  EXPECT_EQ(kdp::PrintableText("\x1b]0;title\x07"), "_]0;title_");            // set the window title
  EXPECT_EQ(kdp::PrintableText("line\r\nnext\ttab\x7f"), "line__next_tab_");  // C0 and DEL
  EXPECT_EQ(kdp::PrintableText("\xc2\x9bK"), "_K");                           // C1 CSI, one character
  EXPECT_EQ(kdp::PrintableText("evil\xe2\x80\xaetxt.exe"), "evil_txt.exe");   // right-to-left override
  EXPECT_EQ(kdp::PrintableText("\xe2\x81\xa6x\xe2\x81\xa9"), "_x_");          // isolates
  EXPECT_EQ(kdp::PrintableText(std::string("a\0b", 3)), "a_b");
}

TEST(PrintableText, BytesThatAreNotUtf8BecomeOneUnderscoreEach) {
  EXPECT_EQ(kdp::PrintableText("\x9bK"), "_K");               // an 8-bit CSI
  EXPECT_EQ(kdp::PrintableText("caf\xe9"), "caf_");           // Latin-1
  EXPECT_EQ(kdp::PrintableText("\xc0\xaf"), "__");            // overlong '/'
  EXPECT_EQ(kdp::PrintableText("\xed\xa0\x80"), "___");       // a surrogate
  EXPECT_EQ(kdp::PrintableText("\xf4\x90\x80\x80"), "____");  // above U+10FFFF
  EXPECT_EQ(kdp::PrintableText("x\xe2\x82"), "x__");          // cut short
}

TEST(PrintableText, TextKeepsEveryPrintableCharacter) {
  const std::string text = "Müller & Söhne \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x94\x91 \\|/ ~";
  EXPECT_EQ(kdp::PrintableText(text), text);
  EXPECT_EQ(kdp::PrintableText(""), "");
  EXPECT_EQ(kdp::PrintableCharacterSize("\xc3\xbc"), 2u);
  EXPECT_EQ(kdp::PrintableCharacterSize("\xf0\x9f\x94\x91"), 4u);
  EXPECT_EQ(kdp::PrintableCharacterSize("\xe2\x80\x8f"), 0u);  // right-to-left mark
  EXPECT_EQ(kdp::PrintableCharacterSize(""), 0u);
}

}  // namespace
