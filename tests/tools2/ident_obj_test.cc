#include <tools2/ident_obj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace {

TEST(IdentObj, NullDataWithSizeGivesAZeroedBufferToFill) {
  IdentObj buf(nullptr, 5);
  ASSERT_NE(buf.pbData, nullptr);
  EXPECT_EQ(buf.GetObjectSize(), 5u);
  for (DWORD i = 0; i < buf.cbData; ++i) {
    EXPECT_EQ(buf.pbData[i], 0u);
  }
  std::memcpy(buf.pbData, "hello", 5);
  EXPECT_TRUE(buf == IdentObj("hello", 5));
  EXPECT_EQ(IdentObj(nullptr, 0).pbData, nullptr);
  EXPECT_EQ(IdentObj("abc", 0).pbData, nullptr);
}

TEST(IdentObj, CopiesAreDeepAndAssignmentHandlesSelfAndAliases) {
  IdentObj a("key-bytes", 9);
  IdentObj b(a);
  ASSERT_NE(a.pbData, b.pbData);
  b.pbData[0] = 'K';
  EXPECT_EQ(a.pbData[0], 'k');

  const IdentObj& self = a;
  a = self;
  EXPECT_TRUE(a == IdentObj("key-bytes", 9));

  // Replacing the contents with a part of themselves.
  a = IdentObj(a.pbData + 4, a.cbData - 4);
  EXPECT_TRUE(a == IdentObj("bytes", 5));

  IdentObj moved(std::move(b));
  EXPECT_EQ(b.pbData, nullptr);  // a moved-from buffer is empty
  EXPECT_EQ(b.cbData, 0u);
  b = std::move(moved);
  EXPECT_TRUE(b == IdentObj("Key-bytes", 9));

  b = IdentObj();
  EXPECT_EQ(b.pbData, nullptr);
}

TEST(IdentObj, AllocReplacesContentsWithZeros) {
  IdentObj a("abc", 3);
  a.Alloc(8);
  ASSERT_EQ(a.cbData, 8u);
  EXPECT_TRUE(a == IdentObj(nullptr, 8));
  a.Alloc(0);
  EXPECT_EQ(a.pbData, nullptr);
}

TEST(IdentObj, TakesOverAWipedBlockAndResizesWithinItsOwn) {
  kdp::WipedBytes block("\x04\0\0\0abcd", 8);
  const BYTE* start = block.data();
  IdentObj taken(std::move(block), 4, 4);
  EXPECT_TRUE(block.empty());
  EXPECT_TRUE(taken == IdentObj("abcd", 4));
  kdp::WipedBytes small("xy", 2);
  const IdentObj beyond(std::move(small), 1, 2);
  EXPECT_EQ(beyond.pbData, nullptr);
  EXPECT_EQ(beyond.cbData, 0u);

  taken.Resize(6);  // fits the block it owns
  EXPECT_EQ(taken.pbData, start);
  EXPECT_EQ(taken.cbData, 6u);
  taken.Resize(100);
  ASSERT_NE(taken.pbData, nullptr);
  EXPECT_EQ(taken.cbData, 100u);
  taken.Resize(0);
  EXPECT_EQ(taken.pbData, nullptr);
}

TEST(IdentObj, FreesItsOwnBufferWhatTheCallerDidToTheFields) {
  // Under the address sanitizer a wrong free or a leak fails here.
  IdentObj shrunk("0123456789", 10);
  shrunk.cbData = 3;
  IdentObj redirected("abc", 3);
  static BYTE foreign[4];
  redirected.pbData = foreign;
  redirected.cbData = sizeof foreign;
}

}  // namespace
