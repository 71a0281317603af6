// A session derives a device's PIN once: device objects of one device
// manager share its login. The PIN is recognised again without a
// derivation, and so without counting a try: the counted way makes the
// device's pin-tries file when it is missing, the recognised PIN does not,
// which is what these tests watch. A wrong PIN, a PIN changed since, and
// the session's end each end the login.
#include "pin_device_fixture.h"

#include "base/result_codes.h"
#include "store/pin_hash.h"
#include "store/pin_login.h"
#include "store/pin_tries.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace nodyx::test {
namespace {

class NodyxPinLoginTest : public PinDeviceTest {
 protected:
  std::filesystem::path Tries() const { return std::filesystem::path(store_) / "dev" / "pin-tries"; }
  // True when presenting `pin` on `device` went the counted way.
  bool Counted(IAD_Device* device, const char* pin, HRESULT expected) {
    std::filesystem::remove(Tries());
    EXPECT_EQ(device->PresentPIN(pin), expected) << pin;
    return std::filesystem::exists(Tries());
  }
};

TEST_F(NodyxPinLoginTest, AcceptedPinIsRecognisedByEveryObjectOfTheSession) {
  const ComPtr<IAD_Device> first = OnlyDevice(mgr_.get());
  EXPECT_TRUE(Counted(first.get(), "1234", S_OK));
  EXPECT_FALSE(Counted(first.get(), "1234", S_OK));
  EXPECT_EQ(ReadItem(first.get()), S_OK);

  // Each object still needs the PIN presented, but no derivation.
  const ComPtr<IAD_Device> second = OnlyDevice(mgr_.get());
  EXPECT_EQ(ReadItem(second.get()), E_ACCESSDENIED);
  EXPECT_FALSE(Counted(second.get(), "1234", S_OK));
  EXPECT_EQ(ReadItem(second.get()), S_OK);

  // Another session has its own login.
  const ComPtr<IAD_DeviceMgr> otherMgr = DeviceMgr();
  const ComPtr<IAD_Device> other = OnlyDevice(otherMgr.get());
  EXPECT_TRUE(Counted(other.get(), "1234", S_OK));
}

TEST_F(NodyxPinLoginTest, WrongPinAfterTheRightOneIsRefusedAndEndsTheLogin) {
  const ComPtr<IAD_Device> first = OnlyDevice(mgr_.get());
  const ComPtr<IAD_Device> second = OnlyDevice(mgr_.get());
  ASSERT_EQ(first->PresentPIN("1234"), S_OK);
  ASSERT_EQ(second->PresentPIN("1234"), S_OK);

  EXPECT_TRUE(Counted(first.get(), "1235", kWrongPin));
  EXPECT_TRUE(Counted(first.get(), "", kWrongPin));
  EXPECT_TRUE(Counted(first.get(), "12345", kWrongPin));
  EXPECT_EQ(ReadItem(first.get()), E_ACCESSDENIED);
  // The other object's acceptance ended with the session's login.
  EXPECT_EQ(ReadItem(second.get()), E_ACCESSDENIED);
  EXPECT_TRUE(Counted(second.get(), "1234", S_OK));
  EXPECT_EQ(ReadItem(second.get()), S_OK);
}

TEST_F(NodyxPinLoginTest, PinChangedSinceItWasAcceptedIsAskedForAgain) {
  const ComPtr<IAD_Device> device = OnlyDevice(mgr_.get());
  ASSERT_EQ(device->PresentPIN("1234"), S_OK);
  ASSERT_EQ(ReadItem(device.get()), S_OK);

  // As nodyx-admin set-pin writes it: a new description under the object.
  DeviceRecord r;
  ASSERT_EQ(devices_->Load("dev", &r), S_OK);
  r.pin = HashNewPin("5678", kMinPinIterations);
  ASSERT_EQ(devices_->Save("dev", r), S_OK);
  EXPECT_EQ(ReadItem(device.get()), E_ACCESSDENIED);
  EXPECT_TRUE(Counted(device.get(), "1234", kWrongPin));
  EXPECT_TRUE(Counted(device.get(), "5678", S_OK));
  EXPECT_EQ(ReadItem(device.get()), S_OK);

  // The same PIN hashed again (a new salt) is a new PIN for the login too.
  r.pin = HashNewPin("5678", kMinPinIterations);
  ASSERT_EQ(devices_->Save("dev", r), S_OK);
  EXPECT_EQ(ReadItem(device.get()), E_ACCESSDENIED);
  EXPECT_TRUE(Counted(device.get(), "5678", S_OK));

  // A PIN removed and set again does not reopen what was accepted before.
  r.pin.reset();
  ASSERT_EQ(devices_->Save("dev", r), S_OK);
  EXPECT_EQ(ReadItem(device.get()), S_OK);
  r.pin = HashNewPin("5678", kMinPinIterations);
  ASSERT_EQ(devices_->Save("dev", r), S_OK);
  EXPECT_EQ(ReadItem(device.get()), E_ACCESSDENIED);
}

// The login checks the lock with one look at pin-tries while the file has
// not changed since it was read settled; guesses from elsewhere change it.
TEST_F(NodyxPinLoginTest, GuessesElsewhereLockASettledLogin) {
  const ComPtr<IAD_Device> device = OnlyDevice(mgr_.get());
  ASSERT_EQ(device->PresentPIN("1234"), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(ReadItem(device.get()), S_OK);  // reads the settled file
  ASSERT_EQ(ReadItem(device.get()), S_OK);  // one look at it
  EXPECT_FALSE(Counted(device.get(), "1234", S_OK));

  const ComPtr<IAD_DeviceMgr> otherMgr = DeviceMgr();
  const ComPtr<IAD_Device> guesser = OnlyDevice(otherMgr.get());
  ASSERT_EQ(guesser->PresentPIN("0000"), kWrongPin);
  // A count left from elsewhere sends the right PIN the counted way, which clears it.
  ASSERT_EQ(device->PresentPIN("1234"), S_OK);
  PinTries tries;
  ASSERT_EQ(ReadPinTries(*devices_, "dev", &tries), S_OK);
  EXPECT_EQ(tries.user, 0u);

  for (int i = 0; i < 10; ++i) ASSERT_EQ(guesser->PresentPIN("0000"), kWrongPin);
  EXPECT_EQ(ReadItem(device.get()), kPinLocked);
  EXPECT_EQ(device->PresentPIN("1234"), kPinLocked);
}

// Counts written by another process (here: the file written by hand, which
// this process's count of writes does not see) are seen once the session's
// last clean check is older than it trusts one.
TEST_F(NodyxPinLoginTest, CountsFromAnotherProcessAreSeenOnceTheCleanCheckIsOld) {
  const ComPtr<IAD_Device> device = OnlyDevice(mgr_.get());
  ASSERT_EQ(device->PresentPIN("1234"), S_OK);
  ASSERT_EQ(ReadItem(device.get()), S_OK);
  const std::uint8_t locked[20] = {'N',  'X',  'P', 'T', 10, 0, 0,    0,    0xF5, 0xFF,
                                   0xFF, 0xFF, 0,   0,   0,  0, 0xFF, 0xFF, 0xFF, 0xFF};
  std::ofstream(Tries(), std::ios::binary).write(reinterpret_cast<const char*>(locked), sizeof locked);
  std::this_thread::sleep_for(PinLogin::kCleanCheckTrusted * 2);
  EXPECT_EQ(ReadItem(device.get()), kPinLocked);
  EXPECT_EQ(device->PresentPIN("1234"), kPinLocked);
}

TEST_F(NodyxPinLoginTest, ClosingTheSessionEndsTheLogin) {
  const ComPtr<IAD_Device> device = OnlyDevice(mgr_.get());
  ASSERT_EQ(device->PresentPIN("1234"), S_OK);
  ASSERT_EQ(mgr_->Uninitialize(), S_OK);
  EXPECT_EQ(ReadItem(device.get()), E_ACCESSDENIED);
  EXPECT_TRUE(Counted(device.get(), "1234", S_OK));
}

}  // namespace
}  // namespace nodyx::test
