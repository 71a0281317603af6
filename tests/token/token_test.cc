// The library against the shipped software token: sessions on a real filter
// file, device paths, container listing and storage through every back-end.
#include "admin_tool.h"
#include "kdplatform/win32.h"
#include "keydepot/keydepot.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace keydepot {
namespace {

namespace fs = std::filesystem;
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
  static std::string Text(const IdentObj& o) { return std::string(reinterpret_cast<const char*>(o.pbData), o.cbData); }

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

TEST_F(TokenTest, StorageThroughEveryBackEnd) {
  const std::string certificate = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";
  IdentObj data(certificate.data(), static_cast<DWORD>(certificate.size()));
  IdentObj loaded;
  for (const std::string& path : {(root_ / "folder" / "cert.pem").string(), std::string("DEV|100|cert|"),
                                  std::string("1|2\\5|100\\17|0A1B2C3D\\8|cert2")}) {
    SCOPED_TRACE(path);
    CertInfo record;
    record.path = path;
    record.data = &data;
    record.session = session_;
    ASSERT_TRUE(Save(&record)) << KDPGetLastError();
    EXPECT_TRUE(IsExist(&record));
    record.data = &loaded;
    ASSERT_TRUE(Load(&record)) << KDPGetLastError();
    EXPECT_EQ(Text(loaded), certificate);
    EXPECT_GT(GetSize(&record), 0u);
    ASSERT_TRUE(Clear(&record));
    EXPECT_FALSE(IsExist(&record));
  }
  EXPECT_EQ(std::string(GetStorageName("DEV|100|cert|")), "Token one");
  EXPECT_EQ(GetDeviceID("1|2\\5|100\\17|0A1B2C3D\\8|x").GetObjectSize(), 4u);
}

TEST_F(TokenTest, PinsAreCheckedByTheDevice) {
  ASSERT_EQ(Admin({"set-pin", "token1", "--pin-file", File("pin.txt", "2468")}).code, 0);
  IdentObj data("secret", 6);
  CertInfo record;
  record.path = "DEV|100|k|";
  record.data = &data;
  record.session = session_;
  EXPECT_FALSE(Save(&record));  // no PIN presented
  const std::string wrong = "1111";
  record.pin = &wrong;
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(HRESULT_FROM_WIN32(86)));
  const std::string right = "2468";
  record.pin = &right;
  EXPECT_TRUE(Save(&record));
}

TEST_F(TokenTest, SessionFilterFileHidesTypesAndIsSavedBack) {
  const fs::path filter = root_ / "filter.xml";
  std::ofstream(filter) << "<?xml version=\"1.0\"?>\n<deviceTypeFilter version=\"1\">"
                           "<deviceType number=\"200\" enabled=\"false\"/></deviceTypeFilter>\n";
  const DWORD own = ad::OpenSilentSession(filter.string().c_str(), true);
  ASSERT_NE(own, 0u);
  ComPtr<IAD_Device> device;
  EXPECT_EQ(ad::FindDeviceByPath(own, "5|200\\17|0C", device.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ad::FindDeviceByPath(own, "5|100\\17|0A1B2C3D", device.put()), S_OK);
  device.reset();
  fs::remove(filter);
  EXPECT_EQ(ad::SaveSessionDeviceFilter(own), S_OK);
  ASSERT_TRUE(fs::exists(filter));
  ad::CloseSession(own);

  const DWORD reopened = ad::OpenSilentSession(filter.string().c_str(), true);
  ASSERT_NE(reopened, 0u);
  EXPECT_EQ(ad::FindDeviceByPath(reopened, "5|200\\17|0C", device.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  ad::CloseSession(reopened);
}

}  // namespace
}  // namespace keydepot
