// nodyx-admin and the count of wrong PINs: show tells the tries left,
// unblock works with the device's admin PIN or for the store's owner and for
// no one else, and a new PIN starts with its full count.
#include "unblock_fixture.h"

#include <chrono>

namespace nodyx::test {
namespace {

TEST_F(NodyxAdminUnblockTest, ShowTellsTheTriesLeft) {
  EXPECT_NE(Show().find("PIN:               set, 3 of 3 tries left\nadmin PIN:         set, 3 of 3 tries left\n"),
            std::string::npos)
      << Show();
  ASSERT_EQ(Present(PinRole::kUser, "0000"), kWrongPin);
  EXPECT_NE(Show().find("PIN:               set, 2 of 3 tries left\n"), std::string::npos) << Show();
  Lock();
  EXPECT_NE(Show().find("PIN:               set, locked after 3 wrong PINs (nodyx-admin unblock)\n"), std::string::npos)
      << Show();
  // A new PIN starts with its full count.
  ASSERT_EQ(Admin({"set-pin", "tok", "--pin-file", File("pin2", "9999\n")}).code, 0);
  EXPECT_NE(Show().find("PIN:               set, 3 of 3 tries left\n"), std::string::npos) << Show();
  EXPECT_EQ(Present(PinRole::kUser, "9999"), S_OK);

  ASSERT_EQ(Admin({"create", "plain", "--id", "02"}).code, 0);
  const std::string plain = Admin({"show", "plain"}).out;
  EXPECT_NE(plain.find("PIN:               none\nadmin PIN:         none\n"), std::string::npos) << plain;
  EXPECT_EQ(Admin({"create", "bad", "--pin-try-limit", "0"}).code, 2);
  EXPECT_EQ(Admin({"create", "bad", "--pin-try-limit", "101"}).code, 2);
}

TEST_F(NodyxAdminUnblockTest, TheAdminPinUnblocksAndIsCountedItself) {
  Lock();
  ToolRun wrong = Admin({"unblock", "tok", "--admin-pin-file", File("wrong", "admin-0000\n")});
  EXPECT_EQ(wrong.code, 5);
  EXPECT_NE(wrong.err.find("that is not the admin PIN of device 'tok' (2 tries left)"), std::string::npos) << wrong.err;
  EXPECT_EQ(Present(PinRole::kUser, "1234"), kPinLocked);
  // The device named by its identifier; a new PIN set on the way.
  ToolRun right = Admin({"unblock", "0A1B", "--admin-pin-file", adminPin_, "--new-pin-file", File("new", "4321\n")});
  EXPECT_EQ(right.code, 0);
  EXPECT_EQ(right.out, "unblocked tok: its PIN takes 3 tries again, and a new PIN is set\n");
  EXPECT_EQ(Present(PinRole::kUser, "1234"), kWrongPin);
  EXPECT_EQ(Present(PinRole::kUser, "4321"), S_OK);
  PinTries tries;
  ASSERT_EQ(ReadPinTries(DeviceStore(store_), "tok", &tries), S_OK);
  EXPECT_EQ(tries.admin, 0u);  // the right admin PIN cleared its own count

  // Three wrong admin PINs lock it; then only the owner unblocks, and that
  // clears the admin PIN's count too.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Present(PinRole::kAdmin, "x"), kWrongPin);
  ToolRun locked = Admin({"unblock", "tok", "--admin-pin-file", adminPin_});
  EXPECT_EQ(locked.code, 5);
  EXPECT_NE(locked.err.find("admin PIN of device 'tok' is locked after 3 wrong tries"), std::string::npos)
      << locked.err;
  EXPECT_EQ(Admin({"unblock", "tok"}).code, 0);  // this test's user owns the store
  EXPECT_EQ(Present(PinRole::kAdmin, "admin-5678"), S_OK);

  ASSERT_EQ(Admin({"create", "plain", "--id", "02"}).code, 0);
  ToolRun none = Admin({"unblock", "plain", "--admin-pin-file", adminPin_});
  EXPECT_EQ(none.code, 5);
  EXPECT_NE(none.err.find("device 'plain' has no admin PIN"), std::string::npos) << none.err;
}

// The tool counts a guess before it checks it: killed while it derives the
// admin PIN's hash, it has paid for the guess, and the count's lock went with
// it.
TEST_F(NodyxAdminUnblockTest, AToolKilledWhileItChecksHasPaidForItsGuess) {
  // The most iterations a description takes: seconds per check, so the tool
  // is surely still deriving when it is killed. (The stored hash no longer
  // fits any PIN; the guess is a wrong one anyway.)
  const DeviceStore store(store_);
  DeviceRecord r;
  ASSERT_EQ(store.Load("tok", &r), S_OK);
  r.adminPin->iterations = kMaxPinIterations;
  ASSERT_EQ(store.Save("tok", r), S_OK);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  kdtest::ProcessOptions options;
  options.killWhen = [&] {
    PinTries tries;
    return Clock::now() > deadline || (ReadPinTries(store, "tok", &tries) == S_OK && tries.admin != 0);
  };
  const ToolRun run =
      kdtest::RunProcess(kdtest::BuildMachinePath(NODYX_ADMIN),
                         {"unblock", "tok", "--admin-pin-file", File("wrong", "admin-0000\n")}, options);
  ASSERT_TRUE(run.killed) << "the check ended before it was killed: " << run.err;
  PinTries tries;
  ASSERT_EQ(ReadPinTries(store, "tok", &tries), S_OK);
  EXPECT_EQ(tries.admin, 1u);
  EXPECT_EQ(ResetPinTries(store, "tok", false, true), S_OK);  // takes the lock
}

}  // namespace
}  // namespace nodyx::test
