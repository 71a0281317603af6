// A component test with one crypto device "dev" of large room, its object
// and its item storage.
#pragma once

#include "component_fixture.h"

namespace nodyx::test {

class NodyxKeyStorageTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    DeviceRecord r = MakeRecord(100, {1, 2}, "dev");
    r.room = 64u * 1024u * 1024u;
    r.cryptoDevice = true;
    r.cryptoFlag = 3;
    AddDevice("dev", r);
    mgr_ = DeviceMgr();
    device_ = OnlyDevice(mgr_.get());
    ASSERT_TRUE(device_);
    ASSERT_EQ(device_.As(&storage_), S_OK);
  }
  void TearDown() override {
    storage_ = nullptr;
    device_ = nullptr;
    mgr_ = nullptr;
    ComponentTest::TearDown();
  }

  HRESULT Write(const char* name, std::vector<BYTE> data) {
    DWORD count = static_cast<DWORD>(data.size());
    const HRESULT hr = storage_->Write(device_.get(), name, data.data(), &count);
    if (SUCCEEDED(hr)) {
      EXPECT_EQ(count, data.size());
    }
    return hr;
  }

  void SetPin(std::optional<PinHash> pin) {
    DeviceRecord r;
    ASSERT_EQ(devices_->Load("dev", &r), S_OK);
    r.pin = std::move(pin);
    ASSERT_EQ(devices_->Save("dev", r), S_OK);
  }

  ComPtr<IAD_DeviceMgr> mgr_;
  ComPtr<IAD_Device> device_;
  ComPtr<IAD_KeyStorage> storage_;
};

}  // namespace nodyx::test
