// The names the store keeps as file names are those every system can keep,
// so a store made on one system works on the other; a PKCS#11 token's names
// are labels, not files, and keep the wider rule.
#include "store/names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nodyx {
namespace {

TEST(StoreNames, NamesWindowsCannotKeepAreRefusedOnEverySystem) {
  const std::vector<std::vector<const char*>> groups = {
      {"a:b", ":", "stream:$DATA", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b"},  // characters Windows refuses
      {"dot.", "space ", "x. ", "..."},                                         // Windows drops them
      {"CON", "con", "Prn", "aux", "nul", "COM0", "com1", "COM9", "lpt1", "LPT9", "conin$", "CONOUT$"},
      {"nul.txt", "NUL.tar.gz", "con .txt", "com1.log"},                      // device names with an extension
      {"COM\xc2\xb9", "lpt\xc2\xb2", "LPT\xc2\xb3", "com\xb9", "lpt\xb3.x"},  // superscripts, UTF-8 and ANSI
  };
  for (const auto& group : groups) {
    for (const char* name : group) {
      EXPECT_FALSE(IsValidStoreName(name)) << name;
      EXPECT_FALSE(StoreNameProblem(name).empty()) << name;
    }
  }
  EXPECT_EQ(StoreNameProblem("nul.txt"), "Windows keeps it for a device, with any extension");
}

TEST(StoreNames, TheirNeighboursAreKept) {
  for (const char* name : {"a_b", "console", "con1", "nul_txt", "com10", "comx", "lpt", "com", "COM\xc2\xb9x", "dot.x",
                           ".dot", " lead", "a b", "con1.txt", "x.nul", "M\xc3\xbcller", "\xc2\x9bJ"}) {
    EXPECT_TRUE(IsValidStoreName(name)) << name;
    EXPECT_TRUE(StoreNameProblem(name).empty()) << name;
  }
}

TEST(StoreNames, RulesOfEveryNameStillHold) {
  const std::string longest(kMaxNameBytes, 'n');
  for (const char* name : {"", ".", "..", "a/b", "a\\b", "tab\there", "del\x7f"}) {
    EXPECT_FALSE(IsValidStoreName(name)) << name;
    EXPECT_FALSE(IsValidObjectName(name)) << name;
  }
  EXPECT_FALSE(IsValidStoreName((longest + "n").c_str()));
  EXPECT_TRUE(IsValidStoreName(longest.c_str()));
  EXPECT_FALSE(IsValidStoreName(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(IsValidObjectName(static_cast<const char*>(nullptr)));
}

TEST(StoreNames, TokenObjectNamesAreLabelsNotFiles) {
  for (const char* name : {"a:b", "con", "nul.txt", "dot.", "a*b", "backup 2024-01-01T10:00"}) {
    EXPECT_TRUE(IsValidObjectName(name)) << name;
  }
}

}  // namespace
}  // namespace nodyx
