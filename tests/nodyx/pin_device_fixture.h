// A component test with one device "dev" whose PIN is "1234", holding the
// item "k", and a device manager of the test's own.
#pragma once

#include "component_fixture.h"

namespace nodyx::test {

class PinDeviceTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    DeviceRecord r = MakeRecord(100, {1, 2}, "dev");
    r.pin = HashNewPin("1234", kMinPinIterations);
    r.pinTryLimit = tryLimit_;
    AddDevice("dev", r);
    const std::uint8_t byte = 7;
    ASSERT_EQ(devices_->WriteItem("dev", "k", &byte, 1), S_OK);
    mgr_ = DeviceMgr();
  }
  void TearDown() override {
    mgr_ = nullptr;
    ComponentTest::TearDown();
  }

  // The first byte of "k" read through the device: what the call answered.
  static HRESULT ReadItem(IAD_Device* device) {
    ComPtr<IAD_KeyStorage> storage;
    EXPECT_EQ(device->QueryInterface(IID_IAD_KeyStorage, storage.put_void()), S_OK);
    BYTE b = 0;
    DWORD count = 1;
    return storage ? storage->Read(device, "k", &b, &count) : E_NOINTERFACE;
  }

  std::uint32_t tryLimit_ = kDefaultPinTryLimit;  // set before SetUp
  ComPtr<IAD_DeviceMgr> mgr_;
};

}  // namespace nodyx::test
