// nodyx-admin and the count of wrong PINs: show tells the tries left,
// unblock works with the device's admin PIN or for the store's owner and for
// no one else, and a new PIN starts with its full count.
#include "admin_tool.h"
#include "result_codes.h"
#include "store/device_store.h"
#include "store/pin_tries.h"

#include <kdtest/other_user.h>

#include <filesystem>

namespace nodyx::test {
namespace {

class NodyxAdminUnblockTest : public AdminToolTest {
 protected:
  void SetUp() override {
    AdminToolTest::SetUp();
    adminPin_ = File("admin-pin", "admin-5678\n");
    ASSERT_EQ(Admin("create tok --id 0A1B --pin-try-limit 3 --admin-pin-file " + adminPin_).code, 0);
    ASSERT_EQ(Admin("set-pin tok --pin-file " + File("pin", "1234\n")).code, 0);
  }

  HRESULT Present(PinRole role, const std::string& pin) {
    const DeviceStore store(store_);
    DeviceRecord r;
    EXPECT_EQ(store.Load("tok", &r), S_OK);
    const PinHash& hash = role == PinRole::kUser ? *r.pin : *r.adminPin;
    return CheckPinCounted(store, "tok", role, hash, r.pinTryLimit, pin);
  }
  // Wrong PINs until the device locks.
  void Lock() {
    for (int i = 0; i < 3 && Present(PinRole::kUser, "0000") == kWrongPin; ++i) {
    }
    ASSERT_EQ(Present(PinRole::kUser, "1234"), kPinLocked);
  }
  std::string Show() { return Admin("show tok").out; }

  std::string adminPin_;
};

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
  ASSERT_EQ(Admin("set-pin tok --pin-file " + File("pin2", "9999\n")).code, 0);
  EXPECT_NE(Show().find("PIN:               set, 3 of 3 tries left\n"), std::string::npos) << Show();
  EXPECT_EQ(Present(PinRole::kUser, "9999"), S_OK);

  ASSERT_EQ(Admin("create plain --id 02").code, 0);
  const std::string plain = Admin("show plain").out;
  EXPECT_NE(plain.find("PIN:               none\nadmin PIN:         none\n"), std::string::npos) << plain;
  EXPECT_EQ(Admin("create bad --pin-try-limit 0").code, 4);
  EXPECT_EQ(Admin("create bad --pin-try-limit 101").code, 4);
}

TEST_F(NodyxAdminUnblockTest, TheAdminPinUnblocksAndIsCountedItself) {
  Lock();
  ToolRun wrong = Admin("unblock tok --admin-pin-file " + File("wrong", "admin-0000\n"), "/dev/null", true);
  EXPECT_EQ(wrong.code, 4);
  EXPECT_NE(wrong.out.find("that is not the admin PIN of device 'tok' (2 tries left)"), std::string::npos) << wrong.out;
  EXPECT_EQ(Present(PinRole::kUser, "1234"), kPinLocked);
  // The device named by its identifier; a new PIN set on the way.
  ToolRun right = Admin("unblock 0A1B --admin-pin-file " + adminPin_ + " --new-pin-file " + File("new", "4321\n"));
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
  ToolRun locked = Admin("unblock tok --admin-pin-file " + adminPin_, "/dev/null", true);
  EXPECT_EQ(locked.code, 4);
  EXPECT_NE(locked.out.find("admin PIN of device 'tok' is locked after 3 wrong tries"), std::string::npos)
      << locked.out;
  EXPECT_EQ(Admin("unblock tok").code, 0);  // this test's user owns the store
  EXPECT_EQ(Present(PinRole::kAdmin, "admin-5678"), S_OK);

  ASSERT_EQ(Admin("create plain --id 02").code, 0);
  ToolRun none = Admin("unblock plain --admin-pin-file " + adminPin_, "/dev/null", true);
  EXPECT_EQ(none.code, 4);
  EXPECT_NE(none.out.find("device 'plain' has no admin PIN"), std::string::npos) << none.out;
}

TEST_F(NodyxAdminUnblockTest, WithoutTheAdminPinOnlyTheStoresOwnerUnblocks) {
  if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << "needs root to become another user";
  Lock();
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                          std::filesystem::perms::others_exec);
  std::filesystem::permissions(store_, std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                           std::filesystem::perms::others_exec);
  EXPECT_TRUE(kdtest::RunAsOtherUser([&] {
    const ToolRun run = Admin("unblock tok", "/dev/null", true);
    EXPECT_EQ(run.code, 4);
    EXPECT_NE(run.out.find("only the store's owner (or root, or an administrator) may unblock"), std::string::npos)
        << run.out;
  }));
  EXPECT_EQ(Present(PinRole::kUser, "1234"), kPinLocked);

  // Given the store, the other user is its owner and needs no admin PIN.
  ASSERT_TRUE(kdtest::GiveToOtherUser(store_.c_str()));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(store_)) {
    ASSERT_TRUE(kdtest::GiveToOtherUser(entry.path().c_str()));
  }
  // (Root no longer uses a store another user owns: the check runs as its owner.)
  EXPECT_TRUE(kdtest::RunAsOtherUser([&] {
    EXPECT_EQ(Admin("unblock tok").code, 0);
    EXPECT_EQ(Present(PinRole::kUser, "1234"), S_OK);
  }));
}

}  // namespace
}  // namespace nodyx::test
