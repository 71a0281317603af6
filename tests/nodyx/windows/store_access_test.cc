// What the store and its tool make and trust on Windows: the access list each
// creation asks for (Wine keeps none of a file's, docs/windows.md), what the
// tool's files let others do, and stores and devices others may change or
// own (another user's through the host, kdtest/wine_host.h).
#include "../admin_tool.h"
#include "../key_storage_fixture.h"
#include "../store_trust_fixture.h"

#include <kdplatform/security.h>
#include <kdtest/creation_log.h>
#include <kdtest/wine_host.h>

#include <algorithm>
#include <filesystem>
#include <map>

namespace nodyx::test {
namespace {

namespace fs = std::filesystem;

using kdp::SecuredObject;
using kdp::SecurityRole;
using NodyxAdminToolTest = AdminToolTest;

const std::string& OwnerOnly(SecuredObject object) {
  static const std::string file = kdtest::ExpectedSddl(SecurityRole::kOwnerOnly, SecuredObject::kFile);
  static const std::string folder = kdtest::ExpectedSddl(SecurityRole::kOwnerOnly, SecuredObject::kFolder);
  return object == SecuredObject::kFile ? file : folder;
}

// The folders and new files the logged code made in `base` (itself: "."),
// by name with "/" (a save's temporary file as "folder/.kdtmp-"), each with
// the DACL it asked for.
std::map<std::string, std::string> Created(const kdtest::CreationLog& log, const std::string& base) {
  std::map<std::string, std::string> made;
  for (const kdtest::SystemCall& call : log.Calls()) {
    if (call.function == "CreateFileA" && call.flags == OPEN_EXISTING) continue;
    if (call.function != "CreateFileA" && call.function != "CreateDirectoryA") continue;
    if (call.name.compare(0, base.size(), base) != 0) continue;
    std::string name = call.name.size() == base.size() ? "." : call.name.substr(base.size() + 1);
    std::replace(name.begin(), name.end(), '\\', '/');
    if (const auto at = name.find(".kdtmp-"); at != std::string::npos) name.resize(at + 7);
    made[name] = call.sddl;
  }
  return made;
}

TEST_F(NodyxKeyStorageTest, EverythingStoredAsksForTheOwnersOnlyAccessList) {
  {
    const kdtest::CreationLog log(Module());  // the component's own code
    ASSERT_EQ(Write("key", {1, 2, 3}), S_OK);
    const auto made = Created(log, store_);
    EXPECT_EQ(made, (std::map<std::string, std::string>{{"dev/items", OwnerOnly(SecuredObject::kFolder)},
                                                        {"dev/items/.kdtmp-", OwnerOnly(SecuredObject::kFile)}}));
  }
  const kdtest::CreationLog log;  // the store's code in this program, as the tool has it
  ASSERT_EQ(devices_->Create("other", MakeRecord(101, {9}, "other")), S_OK);
  ASSERT_EQ(devices_->CreateContainer("other", "c"), S_OK);
  const std::string folder = OwnerOnly(SecuredObject::kFolder);
  EXPECT_EQ(Created(log, store_),
            (std::map<std::string, std::string>{{".", folder},  // the store, which exists
                                                {"other", folder},
                                                {"other/.kdtmp-", OwnerOnly(SecuredObject::kFile)},
                                                {"other/containers", folder},
                                                {"other/containers/c", folder}}));
}

// The tool is another process, so what its files got is read back. Under
// Wine a file's list is made from the host's mode bits, which a creation's
// list sets: a file made without one would let Everyone read.
TEST_F(NodyxAdminToolTest, WhatItWritesLetsNoOneElseIn) {
  const std::string in = File("in", "private key");
  const std::string out = (root_ / "out").string();
  ASSERT_EQ(Admin({"create", "tok"}).code, 0);
  ASSERT_EQ(Admin({"put-item", "tok", "keys", "--from", in}).code, 0);
  ASSERT_EQ(Admin({"get-item", "tok", "keys", "--to", out}).code, 0);
  for (const std::string& path :
       {store_ + "\\tok", store_ + "\\tok\\device.json", store_ + "\\tok\\items", store_ + "\\tok\\items\\keys", out}) {
    const kdp::Exposure exposure = kdtest::FileExposure(path);
    EXPECT_FALSE(exposure.ownedByOther) << path;
    EXPECT_FALSE(exposure.noAccessList) << path;
    EXPECT_EQ(exposure.othersMay, 0u) << path;
  }
}

TEST_F(StoreTrustTest, ADeviceFolderAnotherUserOwnsIsNotUsed) {
  if (!kdtest::HostCanGiveAway()) GTEST_SKIP() << "making another user's folder needs Wine run as root";
  ASSERT_TRUE(kdtest::GiveToOtherHostUser(store_ + "\\dev"));
  const std::string why = WhyDevIsNotUsed();
  EXPECT_NE(why.find("is owned by another user"), std::string::npos) << why;
}

TEST_F(StoreTrustTest, AStoreOthersMayChangeOrAnotherUserOwnsIsNotUsed) {
  ASSERT_EQ(Seen().size(), 1u);
  // Everyone may add and remove entries (under Wine: mode o+w).
  ASSERT_TRUE(kdtest::SetAccessList(store_, "(A;OICI;0x1301ff;;;WD)"));
  EXPECT_TRUE(Seen().empty());
  std::string why;
  EXPECT_EQ(devices_->CheckRoot(&why), E_ACCESSDENIED);
  EXPECT_NE(why.find(" lets other users change its access list or remove entries"), std::string::npos) << why;
  EXPECT_EQ(devices_->Create("new", MakeRecord(100, {3}, "new"), &why), E_ACCESSDENIED);
  EXPECT_FALSE(fs::exists(Path("new")));
  DeviceRecord record;
  EXPECT_EQ(devices_->Load("dev", &record), E_ACCESSDENIED);
  // Reading is no change.
  ASSERT_TRUE(kdtest::SetAccessList(store_, "(A;OICI;FRFX;;;WD)"));
  EXPECT_EQ(Seen().size(), 1u);

  if (!kdtest::HostCanGiveAway()) return;
  ASSERT_TRUE(kdtest::GiveToOtherHostUser(store_));
  EXPECT_TRUE(Seen().empty());
  EXPECT_EQ(devices_->CheckRoot(&why), E_ACCESSDENIED);
  EXPECT_NE(why.find("is owned by another user"), std::string::npos) << why;
}

TEST_F(StoreTrustTest, TheFoldersAStoreMakesAskForTheirAccessLists) {
  const std::string shared = Path("common/Maltrove");
  const DeviceStore store(shared + "/nodyx");
  {
    const kdtest::CreationLog log;
    ASSERT_EQ(store.Create("made", MakeRecord(100, {4}, "made")), S_OK);
    const std::string readable = kdtest::ExpectedSddl(SecurityRole::kPublicRead, SecuredObject::kFolder);
    const std::string own = OwnerOnly(SecuredObject::kFolder);
    EXPECT_EQ(Created(log, store_), (std::map<std::string, std::string>{
                                        {"common", readable},
                                        {"common/Maltrove", readable},
                                        {"common/Maltrove/nodyx", own},
                                        {"common/Maltrove/nodyx/made", own},
                                        {"common/Maltrove/nodyx/made/.kdtmp-", OwnerOnly(SecuredObject::kFile)}}));
  }

  // A shared folder others may write is not used to hold keys.
  ASSERT_TRUE(kdtest::SetAccessList(shared, "(A;OICI;0x1301ff;;;WD)"));
  std::string why;
  EXPECT_EQ(store.Create("other", MakeRecord(100, {5}, "other"), &why), E_ACCESSDENIED);
  EXPECT_NE(why.find("Maltrove lets other users change its access list or remove entries"), std::string::npos) << why;
}

}  // namespace
}  // namespace nodyx::test
