// Wrong PINs counted as a card counts them: the limit locks the right PIN
// too, the right PIN before the limit clears the count, the admin PIN counts
// apart, a damaged count locks, threads that guess at once each count, and
// no answer leaves before the try is on the disk.
#include "pin_tries_fixture.h"

#include "base/result_codes.h"

#include "kdplatform/testing.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

namespace nodyx::test {
namespace {

TEST_F(PinTriesTest, TheLimitLocksTheRightPinToo) {
  for (std::uint32_t i = 1; i <= 10; ++i) {
    EXPECT_EQ(User("0000"), kWrongPin);
    EXPECT_EQ(Counted().user, i);
  }
  EXPECT_EQ(User(kUserPin), kPinLocked);
  EXPECT_EQ(User("0000"), kPinLocked);
  EXPECT_EQ(Counted().user, 10u);  // a locked PIN is not looked at, so not counted
  // The admin PIN counts apart and still works; unblocking clears the count.
  EXPECT_EQ(Admin(kAdminPin), S_OK);
  ASSERT_EQ(ResetPinTries(store_, "dev", true, false), S_OK);
  EXPECT_EQ(User(kUserPin), S_OK);
  EXPECT_EQ(Counted().user, 0u);
}

TEST_F(PinTriesTest, TheRightPinBeforeTheLimitClearsTheCount) {
  for (int i = 0; i < 9; ++i) EXPECT_EQ(User("0000"), kWrongPin);
  EXPECT_EQ(User(kUserPin), S_OK);
  EXPECT_EQ(Counted().user, 0u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(User(""), kWrongPin);
  EXPECT_EQ(User(kUserPin), S_OK);
  // A PIN longer than any that can be right is a wrong one, counted alike.
  EXPECT_EQ(User(std::string(kMaxPinBytes + 1, '1')), kWrongPin);
  EXPECT_EQ(Counted().user, 1u);
}

TEST_F(PinTriesTest, TheAdminPinHasItsOwnCount) {
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Admin(kUserPin), kWrongPin);
  EXPECT_EQ(Admin(kAdminPin), kPinLocked);
  EXPECT_EQ(Counted().admin, 10u);
  EXPECT_EQ(User(kUserPin), S_OK);  // the user PIN is not locked by it
  ASSERT_EQ(ResetPinTries(store_, "dev", false, true), S_OK);
  EXPECT_EQ(Admin(kAdminPin), S_OK);
}

TEST_F(PinTriesTest, ADamagedCountLocksBothPinsUntilItIsReset) {
  for (const std::string& damage :
       {std::string("xx"), std::string("NXPT") + std::string(16, '\0'), std::string(20, 'N')}) {
    std::ofstream(TriesFile(), std::ios::binary | std::ios::trunc) << damage;
    EXPECT_TRUE(Counted().damaged);
    EXPECT_EQ(User(kUserPin), kPinLocked);
    EXPECT_EQ(Admin(kAdminPin), kPinLocked);
    ASSERT_EQ(ResetPinTries(store_, "dev", true, true), S_OK);
    EXPECT_FALSE(Counted().damaged);
    EXPECT_EQ(User(kUserPin), S_OK);
  }
  // Empty: made, then the process died before it wrote; nothing counted yet.
  std::ofstream(TriesFile(), std::ios::binary | std::ios::trunc).flush();
  EXPECT_FALSE(Counted().damaged);
  EXPECT_EQ(User(kUserPin), S_OK);
}

// `threads` threads that each guess `guesses` times at once; every answer.
std::vector<HRESULT> GuessInThreads(const std::function<HRESULT()>& guess, std::size_t threads, std::size_t guesses) {
  std::vector<HRESULT> answers(threads * guesses);
  std::vector<std::thread> guessers;
  for (std::size_t t = 0; t < threads; ++t) {
    guessers.emplace_back([&, t] {
      for (std::size_t i = 0; i < guesses; ++i) answers[t * guesses + i] = guess();
    });
  }
  for (auto& guesser : guessers) guesser.join();
  return answers;
}

// The count is flushed beside the derivation: the answer must wait for the
// flush and must not be given when it failed, right PIN or not.
TEST_F(PinTriesTest, NoAnswerIsGivenWhenTheTryCannotBeMadeDurable) {
  using kdp::testing::FileStep;
  const std::uint64_t before = kdp::testing::FileStepsRun(FileStep::kSync);
  EXPECT_EQ(User(kUserPin), S_OK);
  EXPECT_EQ(kdp::testing::FileStepsRun(FileStep::kSync) - before, 1u);

  for (const char* pin : {kUserPin, "0000"}) {
    kdp::testing::FailFileStep(FileStep::kSync, ERROR_WRITE_FAULT);
    EXPECT_EQ(User(pin), HRESULT_FROM_WIN32(ERROR_WRITE_FAULT)) << pin;
  }
  // Both tries stay counted: the right PIN's count was never cleared.
  EXPECT_EQ(Counted().user, 2u);
  EXPECT_EQ(User(kUserPin), S_OK);
  EXPECT_EQ(Counted().user, 0u);
}

TEST_F(PinTriesTest, ThreadsGuessingAtOnceEachCount) {
  // 24 guesses against a limit of 10: exactly 10 are looked at.
  const auto answers = GuessInThreads([&] { return User("0000"); }, 4, 6);
  EXPECT_EQ(std::count(answers.begin(), answers.end(), kWrongPin), 10);
  EXPECT_EQ(std::count(answers.begin(), answers.end(), kPinLocked), 14);
  EXPECT_EQ(Counted().user, 10u);
  // Below the limit none is lost. A PIN too long to be right is refused
  // without deriving a hash, so the guessers do little but count, at once.
  record_.pinTryLimit = 100;
  ASSERT_EQ(ResetPinTries(store_, "dev", true, true), S_OK);
  const std::string tooLong(kMaxPinBytes + 1, '0');
  const auto fast = GuessInThreads([&] { return User(tooLong); }, 8, 12);
  EXPECT_EQ(std::count(fast.begin(), fast.end(), kWrongPin), 96);
  EXPECT_EQ(Counted().user, 96u);
}

}  // namespace
}  // namespace nodyx::test
