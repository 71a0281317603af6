// What the store and its tool make and trust on POSIX systems: modes closed
// to others whatever the umask, and stores, devices and unblocking as
// another user (cases about that user need root and skip otherwise).
#include "../admin_tool.h"
#include "../key_storage_fixture.h"
#include "../store_trust_fixture.h"
#include "../unblock_fixture.h"

#include <kdtest/other_user.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace nodyx::test {
namespace {

namespace fs = std::filesystem;

using NodyxAdminToolTest = AdminToolTest;

unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

constexpr char kNeedsRoot[] = "needs root to act as another user";

TEST_F(NodyxKeyStorageTest, EverythingStoredIsTheOwnersOnlyWhateverTheUmask) {
  for (const mode_t mask : {0000, 0277}) {
    const std::string item = "key" + std::to_string(mask);
    const std::string other = "dev" + std::to_string(mask);
    const mode_t saved = ::umask(mask);
    const HRESULT written = Write(item.c_str(), {1, 2, 3});
    const HRESULT created = devices_->Create(other, MakeRecord(101, {static_cast<BYTE>(mask + 1)}, other));
    const HRESULT container = devices_->CreateContainer(other, "c");
    ::umask(saved);
    ASSERT_EQ(written, S_OK);
    ASSERT_EQ(created, S_OK);
    ASSERT_EQ(container, S_OK);
    const auto mode = [](const std::string& path) {
      return static_cast<unsigned>(std::filesystem::status(path).permissions());
    };
    EXPECT_EQ(mode(store_ + "/dev/items/" + item), 0600u) << mask;
    EXPECT_EQ(mode(store_ + "/dev/items"), 0700u) << mask;
    EXPECT_EQ(mode(store_ + "/" + other), 0700u) << mask;
    EXPECT_EQ(mode(store_ + "/" + other + "/device.json"), 0600u) << mask;
    EXPECT_EQ(mode(store_ + "/" + other + "/containers"), 0700u) << mask;
    EXPECT_EQ(mode(store_ + "/" + other + "/containers/c"), 0700u) << mask;
  }
}

TEST_F(NodyxAdminToolTest, WhatItWritesIsTheOwnersOnlyWhateverTheUmask) {
  const std::string in = File("in", "private key");
  const auto mode = [](const std::string& path) {
    return static_cast<unsigned>(std::filesystem::status(path).permissions());
  };
  for (const mode_t mask : {0000, 0277}) {
    const std::string device = "tok" + std::to_string(mask);
    const std::string out = (root_ / ("out" + std::to_string(mask))).string();
    const mode_t saved = ::umask(mask);
    const int created = Admin({"create", device}).code;
    const int put = Admin({"put-item", device, "keys", "--from", in}).code;
    const int got = Admin({"get-item", device, "keys", "--to", out}).code;
    ::umask(saved);
    ASSERT_EQ(created, 0);
    ASSERT_EQ(put, 0);
    ASSERT_EQ(got, 0);
    EXPECT_EQ(mode(store_ + "/" + device), 0700u) << mask;
    EXPECT_EQ(mode(store_ + "/" + device + "/device.json"), 0600u) << mask;
    EXPECT_EQ(mode(store_ + "/" + device + "/items"), 0700u) << mask;
    EXPECT_EQ(mode(store_ + "/" + device + "/items/keys"), 0600u) << mask;
    EXPECT_EQ(mode(out), 0600u) << mask;
  }
}

TEST_F(StoreTrustTest, ADeviceFolderAnotherUserMadeIsNotUsed) {
  if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << kNeedsRoot;
  ASSERT_EQ(::chmod(store_.c_str(), 0755), 0);  // the other user may look in
  // Theirs, with an item that leads to root's secret.
  ASSERT_TRUE(kdtest::GiveToOtherUser(Path("dev").c_str()));
  fs::create_directory(Path("dev/items"));
  fs::create_symlink(secret_, Path("dev/items/cert"));
  EXPECT_EQ(WhyDevIsNotUsed(), Path("dev") + " is owned by another user (uid 65534)");
}

TEST_F(StoreTrustTest, AStoreAnotherUserOwnsOrOthersMayWriteIsNotUsed) {
  ASSERT_EQ(Seen().size(), 1u);
  std::string why;
  for (const mode_t mode : {0777, 0775, 01777}) {
    ASSERT_EQ(::chmod(store_.c_str(), mode), 0);
    EXPECT_TRUE(Seen().empty()) << mode;
    EXPECT_EQ(devices_->CheckRoot(&why), E_ACCESSDENIED);
    EXPECT_EQ(why, store_ + " is writable by other users");
    EXPECT_EQ(devices_->Create("new", MakeRecord(100, {3}, "new"), &why), E_ACCESSDENIED);
    EXPECT_FALSE(fs::exists(Path("new")));
    DeviceRecord record;
    EXPECT_EQ(devices_->Load("dev", &record), E_ACCESSDENIED);
  }
  ASSERT_EQ(::chmod(store_.c_str(), 0700), 0);
  EXPECT_EQ(Seen().size(), 1u);
  if (!kdtest::CanBecomeOtherUser()) return;
  ASSERT_TRUE(kdtest::GiveToOtherUser(store_.c_str()));
  EXPECT_TRUE(Seen().empty());
  EXPECT_EQ(devices_->CheckRoot(&why), E_ACCESSDENIED);
  EXPECT_EQ(why, store_ + " is owned by another user (uid 65534)");
}

TEST_F(StoreTrustTest, TheFoldersAStoreMakesAreClosedWhateverTheUmask) {
  const std::string shared = Path("common/Maltrove");
  const DeviceStore store(shared + "/nodyx");
  const mode_t saved = ::umask(0);
  const HRESULT hr = store.Create("made", MakeRecord(100, {4}, "made"));
  ::umask(saved);
  ASSERT_EQ(hr, S_OK);
  EXPECT_EQ(Mode(Path("common")), 0755u);
  EXPECT_EQ(Mode(shared), 0755u);
  EXPECT_EQ(Mode(shared + "/nodyx"), 0700u);
  EXPECT_EQ(Mode(shared + "/nodyx/made"), 0700u);
  EXPECT_EQ(Mode(shared + "/nodyx/made/device.json"), 0600u);

  // A shared folder others may write is not used to hold keys.
  ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
  std::string why;
  EXPECT_EQ(store.Create("other", MakeRecord(100, {5}, "other"), &why), E_ACCESSDENIED);
  EXPECT_EQ(why, shared + " is writable by other users");
}

TEST_F(NodyxAdminUnblockTest, WithoutTheAdminPinOnlyTheStoresOwnerUnblocks) {
  if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << kNeedsRoot;
  Lock();
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                          std::filesystem::perms::others_exec);
  std::filesystem::permissions(store_, std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                           std::filesystem::perms::others_exec);
  EXPECT_TRUE(kdtest::RunAsOtherUser([&] {
    const ToolRun run = Admin({"unblock", "tok"});
    EXPECT_EQ(run.code, 5);
    EXPECT_NE(run.err.find("only the store's owner (or root, or an administrator) may unblock"), std::string::npos)
        << run.err;
  }));
  EXPECT_EQ(Present(PinRole::kUser, "1234"), kPinLocked);

  // Given the store, the other user is its owner and needs no admin PIN.
  ASSERT_TRUE(kdtest::GiveToOtherUser(store_.c_str()));
  for (const auto& entry : std::filesystem::recursive_directory_iterator(store_)) {
    ASSERT_TRUE(kdtest::GiveToOtherUser(entry.path().c_str()));
  }
  // (Root no longer uses a store another user owns: the check runs as its owner.)
  EXPECT_TRUE(kdtest::RunAsOtherUser([&] {
    EXPECT_EQ(Admin({"unblock", "tok"}).code, 0);
    EXPECT_EQ(Present(PinRole::kUser, "1234"), S_OK);
  }));
}

}  // namespace
}  // namespace nodyx::test
