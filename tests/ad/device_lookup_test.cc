#include "keydepot/ad/devices.h"
#include "keydepot/ad/session.h"
#include "test_support.h"
#include "tools2/errors.h"

namespace keydepot::ad {
namespace {

using keydepot::testing::ComponentTest;

class DeviceLookupTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    tc().AddDeviceType(200, "Crypto");
    tc().AddDevice({.type = 100, .id = {0x0A, 0x1B}, .displayName = "Alpha"});
    tc().AddDevice({.type = 200, .id = {0x0C}, .displayName = "Beta", .keyStorage = false, .cryptoDevice = true});
    tc().AddDevice({.type = 100, .id = {0x0A, 0x1B}, .displayName = "Alpha twin"});
    session_ = OpenSilentSession(nullptr);
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    CloseSession(session_);
    ComponentTest::TearDown();
  }

  // The display name of the device found by path, or the failure.
  std::string Found(const char* path) {
    ComPtr<IAD_Device> device;
    const HRESULT hr = FindDeviceByPath(session_, path, device.put());
    if (FAILED(hr)) return "failed";
    char name[AD_NAME_BUFFER] = {};
    device->GetDisplayName(name);
    return name;
  }

  DWORD session_ = 0;
};

TEST_F(DeviceLookupTest, ByPathMatchesTypeAndIdentifierIgnoringTrailingZeros) {
  EXPECT_EQ(Found("5|100\\17|0A1B\\8|any"), "Alpha");  // the first match wins; the container is ignored
  EXPECT_EQ(Found("5|100\\17|0A1B0000"), "Alpha");
  EXPECT_EQ(Found("5|200\\17|0C"), "Beta");
  EXPECT_EQ(Found("5|200\\17|0A1B"), "failed");  // same bytes, other type

  ComPtr<IAD_Device> device;
  EXPECT_EQ(FindDeviceByPath(session_, "5|100\\17|FF", device.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindDeviceByPath(session_, "5|100", device.put()), E_UNEXPECTED);
}

TEST_F(DeviceLookupTest, ADeviceThatFailsExaminationIsSkipped) {
  tc().Force({.call = "Device.GetID", .result = E_FAIL, .device = 0});
  EXPECT_EQ(Found("5|100\\17|0A1B"), "Alpha twin");
  tc().ClearFaults();
  tc().Force({.call = "Device.GetDeviceType", .result = E_FAIL, .device = 0});
  EXPECT_EQ(Found("5|100\\17|0A1B"), "Alpha twin");
}

TEST_F(DeviceLookupTest, OddFetchCountsAndBogusIdentifierSizesDoNotEndTheSearch) {
  // S_OK with a count other than 1 still delivers a device, and the next.
  for (ULONG count : {0u, 2u}) {
    tc().NextReportsFetched(count);
    EXPECT_EQ(Found("5|200\\17|0C"), "Beta") << count;
  }
  tc().NextReportsFetched(std::nullopt);

  // A device claiming a 4 GiB identifier is skipped, never allocated for.
  tc().AddDevice({.type = 200, .id = {0x0E}, .reportedIdSize = 0xFFFFFFFFu, .displayName = "Bogus"});
  tc().AddDevice({.type = 200, .id = {0x0E}, .displayName = "Gamma"});
  EXPECT_EQ(Found("5|200\\17|0E"), "Gamma");
}

TEST_F(DeviceLookupTest, TheThreadsLastErrorIsKept) {
  ComPtr<IAD_Device> device;
  int flag = 0;
  SetLastError(4321);
  EXPECT_EQ(FindDeviceByPath(session_, "5|100\\17|0A1B", device.put()), S_OK);
  EXPECT_EQ(GetLastError(), 4321u);
  EXPECT_EQ(IsCryptoDevice(session_, "5|200\\17|0C", &flag), S_OK);
  EXPECT_EQ(IsCryptoDevice(session_, "5|100\\17|EE", &flag), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetLastError(), 4321u);
}

TEST_F(DeviceLookupTest, ByDisplayNameIgnoresCaseButNotSpaces) {
  ComPtr<IAD_Device> device;
  EXPECT_EQ(FindDeviceByDisplayName(session_, "bETA", device.put()), S_OK);
  EXPECT_TRUE(device);
  EXPECT_EQ(FindDeviceByDisplayName(session_, "Beta ", device.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  tc().Force("EnumDevice.Reset", S_FALSE);
  EXPECT_EQ(FindDeviceByDisplayName(session_, "alpha", device.put()), S_FALSE);
  ComPtr<IAD_EnumDevice> devices;
  EXPECT_EQ(GetDevicesEnum(session_, devices.put()), S_FALSE);
}

TEST_F(DeviceLookupTest, CryptoDevices) {
  int flag = -1;
  EXPECT_EQ(IsCryptoDevice(session_, "5|200\\17|0C", &flag), S_OK);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(IsCryptoDevice(session_, "5|100\\17|0A1B", &flag), S_OK);
  EXPECT_EQ(flag, 0);
  flag = -1;
  EXPECT_EQ(IsCryptoDevice(session_, "5|100\\17|EE", &flag), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(flag, -1);
  EXPECT_EQ(IsCryptoDevice(session_, "5|100\\17|0A1B", nullptr), E_INVALIDARG);
}

TEST_F(DeviceLookupTest, RefusesBadSessionsArgumentsAndComponents) {
  const HRESULT noSession = TooErr2HResult(TOOERR_NO_SESSION);
  ComPtr<IAD_Device> device;
  ComPtr<IAD_EnumDevice> devices;
  EXPECT_EQ(GetDevicesEnum(0, devices.put()), noSession);
  EXPECT_EQ(FindDeviceByPath(0, "5|100\\17|0A1B", device.put()), noSession);
  EXPECT_EQ(FindDeviceByPath(0x7777777, "5|100\\17|0A1B", device.put()), E_HANDLE);
  EXPECT_EQ(FindDeviceByPath(session_, "5|100\\17|0A1B", nullptr), E_INVALIDARG);
  EXPECT_EQ(FindDeviceByPath(session_, nullptr, device.put()), E_POINTER);
  EXPECT_EQ(FindDeviceByDisplayName(session_, nullptr, device.put()), E_POINTER);
  EXPECT_EQ(GetDevicesEnum(session_, nullptr), E_INVALIDARG);

  tc().EnumDevicesGivesNoCollection();
  EXPECT_EQ(GetDevicesEnum(session_, devices.put()), E_UNEXPECTED);
  tc().EnumDevicesGivesNoCollection(false);
  tc().CollectionWithoutEnumerator();
  EXPECT_EQ(FindDeviceByPath(session_, "5|100\\17|0A1B", device.put()), E_NOINTERFACE);
  tc().CollectionWithoutEnumerator(false);
  tc().Force("DeviceMgr.EnumDevices", E_ACCESSDENIED);
  EXPECT_EQ(FindDeviceByDisplayName(session_, "Alpha", device.put()), E_ACCESSDENIED);
  EXPECT_FALSE(device);

  // A closed session has no device manager.
  const DWORD closed = OpenSilentSession(nullptr, true);
  CloseSession(closed);
  EXPECT_EQ(GetDevicesEnum(closed, devices.put()), noSession);
}

}  // namespace
}  // namespace keydepot::ad
