#include "keydepot/ad/session.h"
#include "path_test_support.h"
#include "storage/dev_cartridge2.h"
#include "last_error.h"

namespace keydepot {
namespace {

using kdtc::Bytes;

class DeviceStorageTest : public testing::PathTest {
 protected:
  void SetUp() override {
    PathTest::SetUp();
    tc().AddDeviceType(101, "Exact");
    tc().AddDeviceType(102, "Never");
    session_ = ad::OpenSilentSession(nullptr);
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    ad::CloseSession(session_);
    PathTest::TearDown();
  }
  CertInfo Record(const std::string& path, IdentObj* data, const std::string* pin = nullptr) {
    CertInfo record;
    record.path = path;
    record.data = data;
    record.session = session_;
    record.pin = pin;
    return record;
  }
  static std::string Text(const IdentObj& o) { return std::string(reinterpret_cast<const char*>(o.pbData), o.cbData); }

  DWORD session_ = 0;
};

TEST_F(DeviceStorageTest, TypeNumbersPickTheFirstDeviceOfTheRoundedType) {
  tc().AddDevice({.type = 102, .id = {0x02}, .items = {{"k", kdtc::Control::Record({'2'})}}});
  tc().AddDevice({.type = 100, .id = {0x01}, .items = {{"k", kdtc::Control::Record({'0'})}}});
  tc().AddDevice({.type = 101, .id = {0x03}, .items = {{"k", kdtc::Control::Record({'1'})}}});
  IdentObj data;
  for (auto [path, expected] :
       {std::pair{"DEV|105|k|", "0"}, {"DEV|199|k|", "0"}, {"DEV|101|k|", "1"}, {"DEV|100|k|", "0"}}) {
    CertInfo record = Record(path, &data);
    ASSERT_TRUE(Load(&record)) << path;
    EXPECT_EQ(Text(data), expected) << path;
  }
  CertInfo record = Record("DEV|100|k|", &data);
  Load(&record);
  EXPECT_EQ(record.deviceId.GetObjectSize(), 1u);
  EXPECT_EQ(record.deviceId.pbData[0], 0x01);

  // Numbers read as the 32-bit run-time reads them: type 0, and a number
  // beyond 32 bits is the largest one rather than wrapping round to 100.
  for (const char* path : {"DEV|x|k|", "DEV|4294967396|k|", "DEV|-4294967196|k|"}) {
    record.path = path;
    EXPECT_FALSE(Load(&record)) << path;
    EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(STG_E_FILENOTFOUND)) << path;
  }
  record.path = "DEV| +101x|k|";  // blanks, a sign and a tail, as atoi allows
  ASSERT_TRUE(Load(&record));
  EXPECT_EQ(Text(data), "1");
}

TEST_F(DeviceStorageTest, WithoutADeviceOfTheTypeEveryOperationFails) {
  IdentObj data("x", 1);
  CertInfo record = Record("DEV|300|k|", &data);
  const int notFound = HResult2ToolsErr(STG_E_FILENOTFOUND);
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), notFound);
  EXPECT_FALSE(Save(&record));
  EXPECT_FALSE(IsExist(&record));
  EXPECT_FALSE(Clear(&record));
  EXPECT_EQ(GetSize(&record), 0u);
  EXPECT_EQ(GetDeviceID("DEV|300|k|").GetObjectSize(), 0u);
  EXPECT_EQ(KDPGetLastError(), notFound);
  EXPECT_FALSE(LoadVpn2Pass(&record));
  // GetStorageName reports nothing at all.
  detail::SetLastErrorStore(12345);
  EXPECT_TRUE(GetStorageName("DEV|300|k|").IsEmpty());
  EXPECT_EQ(KDPGetLastError(), 12345);
}

TEST_F(DeviceStorageTest, RecordsAreLengthPrefixedAndGrowTheReadBuffer) {
  tc().AddDevice({.type = 100, .id = {0x01}, .displayName = "Soft", .sizeValue = 777});
  IdentObj empty;
  CertInfo record = Record("DEV|100|e|", &empty);
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(tc().Item(0, "e"), (Bytes{0, 0, 0, 0}));

  const Bytes exact(4096, 'x');  // a stored record of exactly the first buffer's size
  tc().PutItem(0, "big", exact);
  IdentObj data;
  record = Record("DEV|100|big|", &data);
  tc().ClearRecords();
  ASSERT_TRUE(Load(&record));
  EXPECT_EQ(tc().CallCount("KeyStorage.Read"), 2u);
  EXPECT_EQ(data.GetObjectSize(), 4092u);

  tc().PutItem(0, "tiny", Bytes{1, 2, 3});
  record.path = "DEV|100|tiny|";
  ASSERT_TRUE(Load(&record));
  EXPECT_EQ(data.GetObjectSize(), 0u);
  EXPECT_FALSE(LoadVpn2Pass(&record));

  EXPECT_EQ(GetSize(&record), 777u);
  EXPECT_EQ(std::string(GetStorageName("DEV|100|x|")), "Soft");
  EXPECT_EQ(GetDeviceID("DEV|100|x|").GetObjectSize(), 1u);
}

TEST_F(DeviceStorageTest, RoomAndPins) {
  tc().AddDevice({.type = 100, .id = {0x01}, .room = 3, .pin = "1234", .itemsNeedPin = true});
  IdentObj three("abc", 3);
  const std::string pin = "1234";
  CertInfo record = Record("DEV|100|k|", &three, &pin);
  ASSERT_TRUE(Save(&record));
  IdentObj four("abcd", 4);
  record.data = &four;
  tc().ClearRecords();
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(TooErr2HResult(TOOERR_NO_ROOM)));
  EXPECT_TRUE(tc().PresentedPins().empty());  // refused before the PIN

  const std::string wrong = "0000";
  record.pin = &wrong;
  EXPECT_FALSE(IsExist(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(kdtc::kPinRefused));
  const std::string empty;
  record.pin = &empty;
  tc().ClearRecords();
  EXPECT_FALSE(Clear(&record));
  EXPECT_EQ(tc().PresentedPins(), std::vector<std::string>{""});  // an empty PIN is still presented

  // GetSize never presents a PIN, and a failed Load's code survives it.
  record.pin = &wrong;
  EXPECT_FALSE(Load(&record));
  const int failed = KDPGetLastError();
  tc().ClearRecords();
  GetSize(&record);
  EXPECT_TRUE(tc().PresentedPins().empty());
  EXPECT_EQ(KDPGetLastError(), failed);
  // A load that succeeds after it leaves no code behind.
  record.pin = &pin;
  EXPECT_TRUE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), 0);
}

// A refused PIN ends a device read before the device is read, even on a
// device that would hand its items out without one: the caller asked for
// the PIN to be checked.
TEST_F(DeviceStorageTest, ARefusedPinStopsTheReadBeforeTheDeviceIsRead) {
  tc().AddDevice({.type = 100, .id = {0x01}, .pin = "1234", .itemsNeedPin = false});
  IdentObj data("abc", 3);
  const std::string pin = "1234";
  CertInfo record = Record("DEV|100|k|", &data, &pin);
  ASSERT_TRUE(Save(&record));

  const std::string wrong = "0000";
  IdentObj read;
  record.pin = &wrong;
  record.data = &read;
  tc().ClearRecords();
  EXPECT_FALSE(Load(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(kdtc::kPinRefused));
  EXPECT_EQ(tc().CallCount("KeyStorage.Read"), 0u);
  EXPECT_EQ(read.GetObjectSize(), 0u);

  record.pin = &pin;
  ASSERT_TRUE(Load(&record));
  EXPECT_EQ(Text(read), "abc");
}

TEST_F(DeviceStorageTest, DevicePathsStoreInTheNamedContainer) {
  tc().AddDevice({.type = 100, .id = {0x0A, 0x1B}});
  const std::string path = "1|2\\5|100\\17|0A1B\\8|cont";
  IdentObj data("payload", 7);
  CertInfo record = Record(path, &data);
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(tc().Item(0, "cont"), kdtc::Control::Record(Bytes{'p', 'a', 'y', 'l', 'o', 'a', 'd'}));
  EXPECT_TRUE(IsExist(&record));
  EXPECT_EQ(tc().CallCount("DeviceMgr.Refresh"), 0u);  // no interactive session

  IdentObj loaded;
  record.data = &loaded;
  ASSERT_TRUE(Load(&record));
  EXPECT_EQ(Text(loaded), "payload");
  EXPECT_EQ(KDPGetLastError(), 0);
  ASSERT_TRUE(LoadVpn2Pass(&record));
  EXPECT_EQ(loaded.GetObjectSize(), 11u);

  tc().PutItem(0, "raw", Bytes{'r', 'a', 'w', 'd', 'a', 't', 'a'});
  record.path = "5|100\\17|0A1B\\8|raw";
  EXPECT_FALSE(Load(&record));  // no length prefix
  EXPECT_EQ(KDPGetLastError(), 0);
  ASSERT_TRUE(LoadVpn2Pass(&record));
  EXPECT_EQ(Text(loaded), "rawdata");

  tc().PutItem(0, "nothing", Bytes{});
  record.path = "5|100\\17|0A1B\\8|nothing";
  EXPECT_FALSE(Load(&record));
  EXPECT_FALSE(LoadVpn2Pass(&record));
  EXPECT_EQ(loaded.GetObjectSize(), 0u);
  EXPECT_EQ(KDPGetLastError(), 0);

  tc().PutItem(0, "zero", Bytes{0, 0, 0, 0});
  record.path = "5|100\\17|0A1B\\8|zero";
  EXPECT_TRUE(Load(&record));

  record.path = path;
  ASSERT_TRUE(Clear(&record));
  EXPECT_FALSE(tc().Item(0, "cont").has_value());
}

TEST_F(DeviceStorageTest, ChangesAreToldToTheInteractiveSession) {
  tc().AddDevice({.type = 100, .id = {0x0A}});
  const DWORD interactive = ad::OpenInteractiveSession(nullptr, nullptr, false);
  ASSERT_NE(interactive, 0u);
  IdentObj data("x", 1);
  CertInfo record = Record("5|100\\17|0A\\8|c", &data);
  ASSERT_TRUE(Save(&record));
  EXPECT_EQ(tc().CallCount("DeviceMgr.Refresh"), 1u);

  tc().Force("DeviceMgr.Refresh", E_FAIL);
  EXPECT_FALSE(Clear(&record));  // the item is gone all the same
  EXPECT_FALSE(tc().Item(0, "c").has_value());
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(E_FAIL));
  ad::CloseSession(interactive);
}

TEST_F(DeviceStorageTest, ExistenceFallsBackToContainers) {
  tc().AddDevice({.type = 200, .id = {0x0C}, .keyStorage = false, .cryptoDevice = true, .containers = {"keys"}});
  tc().AddDevice({.type = 200, .id = {0x0D}, .keyStorage = false, .cryptoDevice = false});
  IdentObj data;
  CertInfo record = Record("5|200\\17|0C\\8|keys:.sub", &data);
  EXPECT_TRUE(IsExist(&record));
  record.path = "5|200\\17|0C\\8|other";
  EXPECT_FALSE(IsExist(&record));
  record.path = "5|200\\17|0D\\8|keys";
  EXPECT_FALSE(IsExist(&record));
  EXPECT_EQ(KDPGetLastError(), 0);
  EXPECT_FALSE(Load(&record));  // no item storage
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(E_NOINTERFACE));
}

TEST_F(DeviceStorageTest, NamesAndIdentifiersOfDevicePaths) {
  // A device's name and identifier: RecordsAreLengthPrefixedAndGrowTheReadBuffer.
  tc().AddDevice({.type = 100, .id = {0x0A}, .displayName = "Tok"});
  EXPECT_EQ(GetDeviceID("5|100\\17|0B\\8|c").GetObjectSize(), 0u);
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));

  DevCartridge2 unparsable;
  unparsable.location = "5|100";
  detail::SetLastErrorStore(12345);
  EXPECT_EQ(unparsable.GetStorageName(), "");
  EXPECT_EQ(KDPGetLastError(), 12345);
}

}  // namespace
}  // namespace keydepot
