// nodyx-admin against a device "tok" with a PIN, an admin PIN and a limit
// of 3 wrong tries each, and PINs presented to it as the component does.
#pragma once

#include "admin_tool.h"
#include "base/result_codes.h"
#include "store/device_store.h"
#include "store/pin_tries.h"

namespace nodyx::test {

class NodyxAdminUnblockTest : public AdminToolTest {
 protected:
  void SetUp() override {
    AdminToolTest::SetUp();
    adminPin_ = File("admin-pin", "admin-5678\n");
    ASSERT_EQ(Admin({"create", "tok", "--id", "0A1B", "--pin-try-limit", "3", "--admin-pin-file", adminPin_}).code, 0);
    ASSERT_EQ(Admin({"set-pin", "tok", "--pin-file", File("pin", "1234\n")}).code, 0);
  }

  HRESULT Present(PinRole role, const std::string& pin) {
    const DeviceStore store(store_);
    DeviceRecord r;
    EXPECT_EQ(store.Load("tok", &r), S_OK);
    const PinHash& hash = role == PinRole::kUser ? *r.pin : *r.adminPin;
    return CheckPinCounted(store, "tok", role, hash, r.pinTryLimit, pin);
  }
  // Wrong PINs until the device locks.
  void Lock() {
    for (int i = 0; i < 3 && Present(PinRole::kUser, "0000") == kWrongPin; ++i) {
    }
    ASSERT_EQ(Present(PinRole::kUser, "1234"), kPinLocked);
  }
  std::string Show() { return Admin({"show", "tok"}).out; }

  std::string adminPin_;
};

}  // namespace nodyx::test
