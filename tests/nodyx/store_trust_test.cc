// The store on a shared machine: a store or device folder another user could
// change is not used, links inside a device are never followed, and the
// folders the store makes are closed to others whatever the umask. Cases
// about another user need root (they skip otherwise).
#include "component_fixture.h"

#include <kdtest/other_user.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace nodyx::test {
namespace {

namespace fs = std::filesystem;

class StoreTrustTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    ASSERT_EQ(::chmod(store_.c_str(), 0755), 0);  // the other user may look in
    AddDevice("dev", 100, {1, 2});
    // A file only root may read, somewhere a link could lead.
    secret_ = fs::path(store_).parent_path() / ("secret-" + fs::path(store_).filename().string());
    std::ofstream(secret_) << "root's secret";
    fs::permissions(secret_, fs::perms::owner_read | fs::perms::owner_write);
  }
  void TearDown() override {
    fs::remove(secret_);
    if (!elsewhere_.empty()) fs::remove_all(elsewhere_);
    ComponentTest::TearDown();
  }
  std::string Path(const std::string& relative) const { return store_ + "/" + relative; }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
  }
  // What a device manager enumerates now, by system name.
  std::vector<std::string> Seen() {
    std::vector<std::string> names;
    ComPtr<IAD_DeviceMgr> mgr = DeviceMgr();
    for (const auto& device : Devices(mgr.get())) {
      char name[AD_NAME_BUFFER] = {};
      EXPECT_EQ(device->GetSystemName(name), S_OK);
      names.push_back(name);
    }
    return names;
  }
  static void SkipUnlessRoot() {
    if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << "needs root to act as another user";
  }

  fs::path secret_;
  std::string elsewhere_;  // a folder outside the store, when a test made one
};

TEST_F(StoreTrustTest, ADeviceFolderAnotherUserMadeIsNotUsed) {
  SkipUnlessRoot();
  // Theirs, with an item that leads to root's secret.
  ASSERT_TRUE(kdtest::GiveToOtherUser(Path("dev").c_str()));
  fs::create_directory(Path("dev/items"));
  fs::create_symlink(secret_, Path("dev/items/cert"));
  EXPECT_TRUE(Seen().empty());
  DeviceRecord record;
  std::string problem;
  EXPECT_EQ(devices_->Load("dev", &record, &problem), E_ACCESSDENIED);
  EXPECT_EQ(problem, Path("dev") + " is owned by another user (uid 65534)");
  std::vector<DeviceStore::Unreadable> unreadable;
  EXPECT_TRUE(devices_->Scan(&unreadable).empty());
  ASSERT_EQ(unreadable.size(), 1u);
  EXPECT_EQ(unreadable[0].problem, problem);
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

TEST_F(StoreTrustTest, LinksInsideADeviceAreNeverFollowed) {
  fs::create_directories(Path("dev/items"));
  fs::create_directories(Path("dev/containers"));
  fs::create_symlink(secret_, Path("dev/items/cert"));
  elsewhere_ = store_ + "-elsewhere";
  fs::create_directory(elsewhere_);
  fs::create_directory_symlink(elsewhere_, Path("dev/containers/box"));
  ASSERT_EQ(devices_->WriteItem("dev", "real", "r", 1), S_OK);

  kdp::WipedBytes bytes;
  EXPECT_EQ(devices_->ReadItem("dev", "cert", &bytes), HRESULT_FROM_WIN32(ERROR_CANT_RESOLVE_FILENAME));
  EXPECT_EQ(bytes.size(), 0u);
  std::uint8_t buffer[64] = {};
  DWORD count = sizeof buffer;
  EXPECT_EQ(devices_->ReadItem("dev", "cert", buffer, &count), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(buffer[0], 0);
  bool exists = true;
  EXPECT_EQ(devices_->ItemExists("dev", "cert", &exists), S_OK);
  EXPECT_FALSE(exists);
  EXPECT_EQ(devices_->ContainerExists("dev", "box", &exists), S_OK);
  EXPECT_FALSE(exists);
  std::vector<std::string> names;
  EXPECT_EQ(devices_->ListItems("dev", &names), S_OK);
  EXPECT_EQ(names, std::vector<std::string>{"real"});
  names.clear();
  EXPECT_EQ(devices_->ListContainers("dev", &names), S_OK);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(devices_->RemoveContainer("dev", "box"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(fs::exists(elsewhere_));

  // Through the component: the link is no item.
  ComPtr<IAD_DeviceMgr> mgr = DeviceMgr();
  ComPtr<IAD_Device> device = OnlyDevice(mgr.get());
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_EQ(device.As(&storage), S_OK);
  count = sizeof buffer;
  EXPECT_EQ(storage->Read(device.get(), "cert", buffer, &count), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(buffer[0], 0);
  storage = nullptr;
  device = nullptr;
  mgr = nullptr;

  // A description that is a link makes no device, and neither does a link
  // where a device folder should be.
  fs::rename(Path("dev/device.json"), elsewhere_ + "/device.json");
  fs::create_symlink(elsewhere_ + "/device.json", Path("dev/device.json"));
  fs::create_directory(elsewhere_ + "/real");
  fs::copy_file(elsewhere_ + "/device.json", elsewhere_ + "/real/device.json");
  fs::create_directory_symlink(elsewhere_ + "/real", Path("linked"));
  EXPECT_TRUE(Seen().empty());
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

}  // namespace
}  // namespace nodyx::test
