// The toolkit's registry on every system (Linux: a store in a temporary
// folder; Windows: the system's, below a key of the test's own).
#include "registry_test.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST_F(RegistryTest, ValuesKeepTheirTypeAndBytes) {
  CTooRegHLM reg(Key("Maltrove\\Test").c_str(), TOOREG_CREATE);
  const Bytes binary = {0x00, 0xFF, 0x10, 0x00};
  ASSERT_TRUE(reg.SetValue("Number", DWORD{0xA1B2C3D4u}));
  ASSERT_TRUE(reg.SetValue("Bytes", binary.data(), static_cast<DWORD>(binary.size())));
  ASSERT_TRUE(reg.SetValue("Empty", nullptr, 0));

  DWORD number = 0;
  EXPECT_TRUE(reg.GetValueEx("number", REG_DWORD, &number, sizeof number));  // names ignore case
  EXPECT_EQ(number, 0xA1B2C3D4u);
  EXPECT_EQ(ReadValue(reg, "BYTES"), binary);

  SetLastError(99);
  EXPECT_EQ(reg.GetBufferLength("Empty"), 0u);
  EXPECT_EQ(GetLastError(), 0u);  // present but empty, unlike a missing value
  EXPECT_EQ(reg.GetBufferLength("Missing"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // The wrong type, or a buffer too small, fails without touching the buffer.
  unsigned char small[3] = {7, 7, 7};
  EXPECT_FALSE(reg.GetValueEx("Bytes", REG_DWORD, small, sizeof small));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_FALSE(reg.GetMemory("Bytes", small, sizeof small));
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  EXPECT_EQ(small[0], 7);

  // Replacing keeps the other values; a new object sees the change.
  ASSERT_TRUE(reg.SetValue("NUMBER", DWORD{5}));
  CTooRegHLM again(Key("MALTROVE\\test").c_str(), TOOREG_READ);  // key names ignore case
  EXPECT_TRUE(again.GetValueEx("Number", REG_DWORD, &number, sizeof number));
  EXPECT_EQ(number, 5u);
  EXPECT_EQ(ReadValue(again, "Bytes"), binary);

  EXPECT_TRUE(reg.DelValue("bytes"));
  EXPECT_FALSE(reg.DelValue("Bytes"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(again.GetMemory("Bytes", small, sizeof small));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, AccessModesAndNames) {
  EXPECT_EQ(OpenError(Key("A\\B"), TOOREG_READ), static_cast<int>(ERROR_FILE_NOT_FOUND));  // no store yet
  EXPECT_EQ(OpenError(Key("A\\B"), TOOREG_WRITE), static_cast<int>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError(Key("A\\B"), TOOREG_CREATE), 0);
  EXPECT_EQ(OpenError(Key("a\\b"), TOOREG_WRITE), 0);
  for (const char* bad : {"\\A", "A\\", "A\\\\B"}) {
    EXPECT_EQ(OpenError(Key(bad), TOOREG_CREATE), static_cast<int>(ERROR_INVALID_NAME)) << bad;
  }
  EXPECT_EQ(OpenError("\\A", TOOREG_CREATE), static_cast<int>(ERROR_INVALID_NAME));

  CTooRegHLM readOnly(Key("A\\B").c_str(), TOOREG_READ);
  EXPECT_FALSE(readOnly.SetValue("x", DWORD{1}));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  CTooRegHLM reg(Key("A\\B").c_str(), TOOREG_WRITE);
  for (const char* bad : {"", "..", "a/b", "a\\b"}) {
    EXPECT_FALSE(reg.SetValue(bad, DWORD{1})) << bad;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  }
  EXPECT_FALSE(reg.SetValue("big", nullptr, 4));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(reg.GetBufferLength("big"), 0u);  // nothing was written
}

// A key the caller may not open (kdtest::TestRegistry::LockOut) is refused
// with the system's code, never read.
TEST_F(RegistryTest, AKeyTheCallerMayNotOpenIsAccessDenied) {
  const std::string secret = Key("Secret\\Key");
  {
    CTooRegHLM create(secret.c_str(), TOOREG_CREATE);
    ASSERT_TRUE(create.SetValue("PIN", "enciphered", 10));
  }
  ASSERT_TRUE(registry_.LockOut(secret));
  int code = 0;
  std::string message;
  try {
    CTooRegHLM reg(secret.c_str(), TOOREG_READ);
  } catch (const XTOORegError& e) {
    code = e.Code();
    message = e.ErrorMessage();
  }
  ASSERT_TRUE(registry_.LetIn(secret));
  EXPECT_EQ(code, static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_NE(message.find("access denied"), std::string::npos) << message;
  EXPECT_EQ(OpenError(secret, TOOREG_READ), 0);
}

TEST_F(RegistryTest, AddValueLetsExactlyOneOfManyWritersWin) {
  const std::string race = Key("Race");
  { CTooRegHLM create(race.c_str(), TOOREG_CREATE); }
  constexpr int kWriters = 8;
  std::atomic<int> winners{0}, losers{0};
  std::vector<std::thread> writers;
  for (int i = 0; i < kWriters; ++i) {
    writers.emplace_back([&, i] {
      // Each writer opens the key itself, as another process would.
      CTooRegHLM reg(race.c_str(), TOOREG_WRITE);
      const unsigned char mine = static_cast<unsigned char>(i);
      // Each also sets a value of its own: concurrent writers lose nothing.
      const std::string own = "v" + std::to_string(i);
      if (reg.SetValue(own.c_str(), DWORD(i)) && reg.AddValue("Winner", &mine, 1)) {
        ++winners;
      } else if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ++losers;
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(winners, 1);
  EXPECT_EQ(losers, kWriters - 1);
  CTooRegHLM reg(race.c_str(), TOOREG_READ);
  for (int i = 0; i < kWriters; ++i) {
    DWORD v = 99;
    EXPECT_TRUE(reg.GetValueEx(("v" + std::to_string(i)).c_str(), REG_DWORD, &v, sizeof v));
    EXPECT_EQ(v, static_cast<DWORD>(i));
  }
}

}  // namespace
