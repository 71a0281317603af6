// The store on a shared machine: links inside a device are never followed.
// Another user's store or device, a store others may change and what the
// store makes are each system's own (posix/, windows/store_access_test.cc).
#include "store_trust_fixture.h"

#include <filesystem>

namespace nodyx::test {
namespace {

namespace fs = std::filesystem;

TEST_F(StoreTrustTest, LinksInsideADeviceAreNeverFollowed) {
  fs::create_directories(Path("dev/items"));
  fs::create_directories(Path("dev/containers"));
  std::error_code error;
  fs::create_symlink(secret_, Path("dev/items/cert"), error);
  if (error) GTEST_SKIP() << "no symbolic link can be made here (Windows: Wine makes none)";
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

}  // namespace
}  // namespace nodyx::test
