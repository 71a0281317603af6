// The count of wrong PINs across processes: processes that guess at once
// each count (POSIX record locks belong to a process, so threads would not
// show a missing lock), and who counts as the store's owner. A tool killed
// while it checks is in admin_unblock_test.cc.
#include "../pin_tries_fixture.h"

#include "base/result_codes.h"
#include "store/store_owner.h"

#include <kdtest/other_user.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace nodyx::test {
namespace {

// Runs `guesses` wrong PINs in each of `processes` children at once; the
// number of answers that were kWrongPin, summed over the children.
int GuessInProcesses(const std::function<HRESULT()>& guess, int processes, int guesses) {
  std::vector<pid_t> children;
  for (int p = 0; p < processes; ++p) {
    const pid_t child = ::fork();
    if (child == 0) {
      int wrong = 0;
      for (int i = 0; i < guesses; ++i) wrong += guess() == kWrongPin ? 1 : 0;
      ::_exit(wrong);
    }
    children.push_back(child);
  }
  int wrong = 0;
  for (const pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    wrong += WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
  }
  return wrong;
}

TEST_F(PinTriesTest, ProcessesGuessingAtOnceEachCount) {
  // 24 guesses against a limit of 10: exactly 10 are looked at.
  EXPECT_EQ(GuessInProcesses([&] { return User("0000"); }, 4, 6), 10);
  EXPECT_EQ(Counted().user, 10u);
  // Below the limit none is lost. A PIN too long to be right is refused
  // without deriving a hash, so the guessers do little but count, at once.
  record_.pinTryLimit = 100;
  ASSERT_EQ(ResetPinTries(store_, "dev", true, true), S_OK);
  const std::string tooLong(kMaxPinBytes + 1, '0');
  EXPECT_EQ(GuessInProcesses([&] { return User(tooLong); }, 8, 12), 96);
  EXPECT_EQ(Counted().user, 96u);
}

TEST(StoreOwnerTest, TheFolderOwnerAndRootOwnTheStore) {
  if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << "needs root to become another user";
  const kdtest::TempFolder temp;
  ::chmod(temp.path().c_str(), 0755);
  const std::string rootStore = temp / "root-store";
  const std::string otherStore = temp / "other-store";
  ASSERT_EQ(::mkdir(rootStore.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(rootStore.c_str(), 0777), 0);  // open to all: ownership is what counts
  ASSERT_EQ(::mkdir(otherStore.c_str(), 0700), 0);
  ASSERT_TRUE(kdtest::GiveToOtherUser(otherStore.c_str()));
  bool owner = false;
  ASSERT_EQ(CallerOwnsFolder(rootStore, &owner), S_OK);
  EXPECT_TRUE(owner);
  ASSERT_EQ(CallerOwnsFolder(otherStore, &owner), S_OK);
  EXPECT_TRUE(owner);  // root administers every store
  EXPECT_TRUE(kdtest::RunAsOtherUser([&] {
    bool owns = true;
    EXPECT_EQ(CallerOwnsFolder(rootStore, &owns), S_OK);
    EXPECT_FALSE(owns);
    EXPECT_EQ(CallerOwnsFolder(otherStore, &owns), S_OK);
    EXPECT_TRUE(owns);
    EXPECT_EQ(CallerOwnsFolder(temp / "missing", &owns), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  }));
}

}  // namespace
}  // namespace nodyx::test
