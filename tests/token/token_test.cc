// The library against the shipped software token: device paths and
// container listing. Items stored on it through every back-end are the
// command line tests' (tests/cli/test_storage.py), on the same component.
#include "admin_tool.h"
#include "kdplatform/win32.h"
#include "keydepot/keydepot.h"

#include <string>

namespace keydepot {
namespace {

using nodyx::test::ToolRun;

class TokenTest : public nodyx::test::AdminToolTest {
 protected:
  void SetUp() override {
    AdminToolTest::SetUp();
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"create", "token1", "--type", "100", "--id", "0A1B2C3D", "--display-name", "Token one", "--system-name",
              "reader1", "--default-container", "main"},
             {"create", "crypto1", "--type", "200", "--id", "0C", "--crypto", "--no-key-storage", "--system-name",
              "reader2"},
             {"put-container", "crypto1", "c1"},
             {"put-container", "crypto1", "c2"}}) {
      const ToolRun run = Admin(command);
      ASSERT_EQ(run.code, 0) << run.err;
    }
    session_ = ad::OpenSilentSession(nullptr);
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    ad::CloseSession(session_);
    AdminToolTest::TearDown();
  }

  DWORD session_ = 0;
};

TEST_F(TokenTest, DevicePathsRoundTripThroughTheComponent) {
  std::string path;
  ASSERT_EQ(ad::MakeADPath(static_cast<EAD_DeviceType>(100), {0x0A, 0x1B, 0x2C, 0x3D}, "k", path), S_OK);
  EXPECT_EQ(path, "1|2\\5|100\\17|0A1B2C3D\\8|k");
  bool equal = false;
  ASSERT_EQ(ad::IsADPathEqual(path, "8|k\\5|100\\17|0a1b2c3d", equal), S_OK);
  EXPECT_TRUE(equal);

  ComPtr<IAD_Device> device;
  ASSERT_EQ(ad::FindDeviceByPath(session_, "5|100\\17|0A1B2C3D0000", device.put()), S_OK);
  std::string devicePath;
  EXPECT_EQ(ad::MakeDevicePath(device.get(), devicePath), S_OK);
  EXPECT_EQ(devicePath, "1|2\\5|100\\17|0A1B2C3D\\8|");
  ASSERT_EQ(ad::FindDeviceByDisplayName(session_, "TOKEN ONE", device.put()), S_OK);

  eStorageType type = StorageNone;
  EXPECT_EQ(GetStorageType("5|200\\17|0C", type), S_OK);
  EXPECT_EQ(type, StorageCryptoDevice);
  CTOOString full;
  ASSERT_TRUE(MakeFullPath(full, "\\\\!\\softcrypto\\0C\\k", "", ""));
  EXPECT_EQ(std::string(full), "1|2\\5|200\\17|0C\\8|k");
}

TEST_F(TokenTest, ContainersOfBothKinds) {
  std::list<std::string> names;
  EXPECT_EQ(ad::GetADContainerNames(session_, nullptr, names, false, true), S_OK);
  EXPECT_EQ(names, (std::list<std::string>{"c1", "c2"}));  // token1 holds no items yet

  IdentObj data("x", 1);
  CertInfo record;
  record.path = "1|2\\5|100\\17|0A1B2C3D\\8|main";
  record.data = &data;
  record.session = session_;
  ASSERT_TRUE(Save(&record));
  names.clear();
  EXPECT_EQ(ad::GetADContainerNames(session_, "\\\\!\\SoftToken", names, true, false), S_OK);
  EXPECT_EQ(names, std::list<std::string>{"1|2\\5|100\\17|0A1B2C3D\\8|main"});  // the default container
}

}  // namespace
}  // namespace keydepot
