// The PIN fields of a device description: only PIN hashes of the one shape
// are read (a short hash would let wrong PINs through by chance), the limit
// of wrong PINs has a range and a default for older descriptions, and what
// is written reads back.
#include "store/device_record.h"

#include <gtest/gtest.h>

#include <string>

namespace nodyx::test {
namespace {

std::string Description(const std::string& extra) {
  return R"({"format":1,"type":100,"id":"01","displayName":"d","systemName":"s")" + extra + "}";
}

std::string PinObject(std::size_t saltBytes, std::uint32_t iterations, std::size_t hashBytes) {
  return R"({"salt":")" + std::string(saltBytes * 2, 'A') + R"(","iterations":)" + std::to_string(iterations) +
         R"(,"hash":")" + std::string(hashBytes * 2, 'B') + R"("})";
}

TEST(DeviceRecordPinTest, PinHashesOfAnotherShapeMakeTheDescriptionInvalid) {
  struct Case {
    std::size_t salt;
    std::uint32_t iterations;
    std::size_t hash;
    const char* why;
  };
  const Case refused[] = {
      {16, 60000, 1, "hash must be 32 bytes"},  {16, 60000, 0, "\"hash\" must be"},
      {16, 60000, 31, "hash must be 32 bytes"}, {16, 60000, 33, "hash must be 32 bytes"},
      {16, 60000, 64, "hash must be 32 bytes"}, {0, 60000, 32, "\"salt\" must be"},
      {15, 60000, 32, "salt must be 16 bytes"}, {17, 60000, 32, "salt must be 16 bytes"},
      {16, 0, 32, "iteration count"},           {16, 999, 32, "iteration count"},
      {16, 10'000'001, 32, "iteration count"},
  };
  for (const char* field : {"pin", "adminPin"}) {
    for (const Case& c : refused) {
      std::string problem;
      EXPECT_FALSE(ParseDeviceRecord(
          Description(std::string(",\"") + field + "\":" + PinObject(c.salt, c.iterations, c.hash)), &problem))
          << field << " " << c.salt << " " << c.iterations << " " << c.hash;
      EXPECT_NE(problem.find(c.why), std::string::npos) << problem;
      EXPECT_NE(problem.find(field), std::string::npos) << problem;
    }
    for (const std::uint32_t iterations : {kMinPinIterations, kPinIterations, kMaxPinIterations}) {
      const auto r = ParseDeviceRecord(Description(std::string(",\"") + field + "\":" + PinObject(16, iterations, 32)));
      ASSERT_TRUE(r) << field << " " << iterations;
      const std::optional<PinHash>& pin = std::string(field) == "pin" ? r->pin : r->adminPin;
      ASSERT_TRUE(pin);
      EXPECT_EQ(pin->iterations, iterations);
    }
  }
}

TEST(DeviceRecordPinTest, TryLimitHasARangeAndOlderDescriptionsGetTheDefault) {
  const auto older = ParseDeviceRecord(Description(",\"pin\":" + PinObject(16, 60000, 32)));
  ASSERT_TRUE(older);
  EXPECT_EQ(older->pinTryLimit, 10u);
  EXPECT_FALSE(older->adminPin);
  for (const char* limit : {"1", "100"}) {
    const auto r = ParseDeviceRecord(Description(std::string(",\"pinTryLimit\":") + limit));
    ASSERT_TRUE(r) << limit;
    EXPECT_EQ(r->pinTryLimit, std::stoul(limit));
  }
  for (const char* limit : {"0", "101", "-1", "1.5", "\"3\"", "4294967296"}) {
    std::string problem;
    EXPECT_FALSE(ParseDeviceRecord(Description(std::string(",\"pinTryLimit\":") + limit), &problem)) << limit;
    EXPECT_NE(problem.find("pinTryLimit"), std::string::npos) << limit << ": " << problem;
  }
}

TEST(DeviceRecordPinTest, PinFieldsReadBackAsWritten) {
  auto r = ParseDeviceRecord(Description(""));
  ASSERT_TRUE(r);
  r->pin = HashNewPin("1234", kMinPinIterations);
  r->adminPin = HashNewPin("admin", kMinPinIterations);
  r->pinTryLimit = 3;
  ASSERT_TRUE(r->pin && r->adminPin);
  const auto again = ParseDeviceRecord(SerializeDeviceRecord(*r));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->pinTryLimit, 3u);
  ASSERT_TRUE(again->pin && again->adminPin);
  EXPECT_EQ(again->pin->hash, r->pin->hash);
  EXPECT_EQ(again->adminPin->salt, r->adminPin->salt);
  EXPECT_TRUE(PinMatches("admin", *again->adminPin));
}

TEST(PinHashTest, StoredHashesOfAnotherShapeNeverMatch) {
  const auto good = HashNewPin("1234", kMinPinIterations);
  ASSERT_TRUE(good);
  EXPECT_TRUE(PinMatches("1234", *good));
  EXPECT_FALSE(PinMatches("1235", *good));
  // A 1-byte hash matched one PIN in 256; cut to any other length, the
  // stored hash matches no PIN at all, the right one included.
  for (const std::size_t length : {std::size_t{1}, std::size_t{31}, std::size_t{33}}) {
    PinHash cut = *good;
    cut.hash.resize(length, 0);
    EXPECT_FALSE(PinMatches("1234", cut)) << length;
    int passed = 0;
    for (int i = 0; i < 600 && length == 1; ++i) passed += PinMatches(std::to_string(i), cut) ? 1 : 0;
    EXPECT_EQ(passed, 0);
  }
  PinHash salt = *good;
  salt.salt.pop_back();
  EXPECT_FALSE(PinMatches("1234", salt));
  PinHash cheap = *good;
  cheap.iterations = kMinPinIterations - 1;
  EXPECT_FALSE(PinMatches("1234", cheap));
  EXPECT_FALSE(PinMatches(std::string(kMaxPinBytes + 1, '1'), *good));
  EXPECT_FALSE(HashNewPin("1234", kMinPinIterations - 1));
  EXPECT_FALSE(HashNewPin("1234", kMaxPinIterations + 1));
}

}  // namespace
}  // namespace nodyx::test
