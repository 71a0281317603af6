// The device's side of the count of wrong PINs: IAD_PinStatus tells the
// tries left and the flags a PKCS#11 token would report, and a device locked
// by guesses on another object refuses the PIN and the item calls of every
// object, also one that had accepted the PIN before.
#include "pin_device_fixture.h"

#include "keydepot/ad/pin_status.h"
#include "base/result_codes.h"
#include "store/pin_tries.h"

namespace nodyx::test {
namespace {

class NodyxPinStatusTest : public PinDeviceTest {
 protected:
  void SetUp() override {
    tryLimit_ = 3;
    PinDeviceTest::SetUp();
    AddDevice("open", 101, {3});
  }

  struct Status {
    DWORD left = 0;
    DWORD limit = 0;
    DWORD flags = 0;
  };
  static Status StatusOf(IAD_Device* device) {
    ComPtr<IAD_PinStatus> status;
    EXPECT_EQ(device->QueryInterface(IID_IAD_PinStatus, status.put_void()), S_OK);
    Status s;
    if (status) {
      EXPECT_EQ(status->GetPinStatus(&s.left, &s.limit, &s.flags), S_OK);
    }
    return s;
  }
};

TEST_F(NodyxPinStatusTest, StatusCountsDownAndGuessesElsewhereLockEveryObject) {
  const ComPtr<IAD_Device> owner = Devices(mgr_.get())[0];
  ASSERT_EQ(owner->PresentPIN("1234"), S_OK);
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_EQ(owner.As(&storage), S_OK);
  EXPECT_EQ(ReadItem(owner.get()), S_OK);
  BYTE b = 7;
  DWORD count = 1;

  const ComPtr<IAD_Device> guesser = Devices(mgr_.get())[0];
  const DWORD flags[] = {AD_PIN_COUNT_LOW, AD_PIN_COUNT_LOW | AD_PIN_FINAL_TRY, AD_PIN_COUNT_LOW | AD_PIN_LOCKED};
  for (DWORD i = 0; i < 3; ++i) {
    EXPECT_EQ(guesser->PresentPIN("0000"), kWrongPin);
    const Status s = StatusOf(guesser.get());
    EXPECT_EQ(s.left, 2 - i);
    EXPECT_EQ(s.limit, 3u);
    EXPECT_EQ(s.flags, flags[i]);
  }
  EXPECT_EQ(guesser->PresentPIN("1234"), kPinLocked);

  // The object that had the PIN accepted is locked out too.
  EXPECT_EQ(ReadItem(owner.get()), kPinLocked);
  EXPECT_EQ(storage->Write(owner.get(), "k", &b, &count), kPinLocked);
  EXPECT_EQ(storage->Delete(owner.get(), "k"), kPinLocked);
  EXPECT_EQ(owner->PresentPIN("1234"), kPinLocked);

  ASSERT_EQ(ResetPinTries(*devices_, "dev", true, false), S_OK);
  EXPECT_EQ(ReadItem(owner.get()), E_ACCESSDENIED);  // the refused PIN withdrew the accepted one
  EXPECT_EQ(owner->PresentPIN("1234"), S_OK);
  EXPECT_EQ(ReadItem(owner.get()), S_OK);
  EXPECT_EQ(StatusOf(owner.get()).flags, 0u);

  // A device without a PIN says so and knows no count.
  const Status open = StatusOf(Devices(mgr_.get())[1].get());
  EXPECT_EQ(open.flags, AD_PIN_NOT_SET);
  EXPECT_EQ(open.left, AD_PIN_TRIES_UNKNOWN);
  EXPECT_EQ(open.limit, AD_PIN_TRIES_UNKNOWN);
}

}  // namespace
}  // namespace nodyx::test
