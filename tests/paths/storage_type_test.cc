#include "path_test_support.h"

namespace keydepot {
namespace {

class StorageTypeTest : public testing::PathTest {
 protected:
  void SetUp() override {
    PathTest::SetUp();
    tc().AddDevice({.type = 100, .id = {0x01}});
    tc().AddDevice({.type = 200, .id = {0x02}, .keyStorage = false, .cryptoDevice = true});
    tc().AddDevice({.type = 200, .id = {0x03}, .keyStorage = false, .cryptoDevice = true, .cryptoFlag = 7});
  }
  void TearDown() override {
    // The session opened for the lookup is closed on every path.
    EXPECT_EQ(tc().CallCount("DeviceMgr.Initialize"), tc().CallCount("DeviceMgr.Uninitialize"));
    PathTest::TearDown();
  }
};

TEST_F(StorageTypeTest, EveryKind) {
  eStorageType type = StorageFolder;
  EXPECT_EQ(GetStorageType(nullptr, type), S_OK);
  EXPECT_EQ(type, StorageNone);
  EXPECT_EQ(GetStorageType("", type), S_OK);
  EXPECT_EQ(type, StorageFolder);
  EXPECT_EQ(GetStorageType("C:\\Keys\\a", type), S_OK);
  EXPECT_EQ(type, StorageFolder);
  EXPECT_EQ(GetStorageType("5|100\\17|01", type), S_OK);
  EXPECT_EQ(type, StorageDevice);
  EXPECT_EQ(GetStorageType("5|200\\17|02\\8|k", type), S_OK);
  EXPECT_EQ(type, StorageCryptoDevice);
  EXPECT_EQ(GetStorageType("5|200\\17|03", type), S_OK);
  EXPECT_EQ(type, StorageCryptoDeviceFlagged);
}

TEST_F(StorageTypeTest, FailuresLeaveTheTypeOrStopAtCrypto) {
  eStorageType type = StorageNone;
  EXPECT_EQ(GetStorageType("\\\\!\\T\\D\\K", type), E_UNEXPECTED);
  EXPECT_EQ(type, StorageNone);
  EXPECT_EQ(GetStorageType("5|100\\17|99", type), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(type, StorageNone);

  tc().Force("CryptoDevice.GetFlag", E_FAIL);
  EXPECT_EQ(GetStorageType("5|200\\17|02", type), E_FAIL);
  EXPECT_EQ(type, StorageCryptoDevice);

  tc().ClearFaults();
  tc().Force("DeviceMgr.Initialize", E_ACCESSDENIED);
  type = StorageNone;
  EXPECT_EQ(GetStorageType("5|200\\17|02", type), E_ACCESSDENIED);
  EXPECT_EQ(type, StorageNone);
}

}  // namespace
}  // namespace keydepot
