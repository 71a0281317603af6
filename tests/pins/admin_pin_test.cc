// Saving a PIN with nodyx-admin and reading it back through the library on
// the shipped software token, with temporary device and registry stores.
#include "admin_tool.h"
#include "kdplatform/win32.h"
#include "keydepot/keydepot.h"
#include "pincipher/pin_cipher.h"
#include "tools2/registry.h"

#include <string>

namespace keydepot::ad {
namespace {

constexpr char kPath[] = "5|100\\17|0A1B";
// The saved PIN's key, named by the identifier text both devices here share.
constexpr char kPinKey[] = "SOFTWARE\\Maltrove\\MTRVShared\\AD\\0A1B";
constexpr auto kType = static_cast<EAD_DeviceType>(100);

class AdminPinTest : public nodyx::test::AdminToolTest {
 protected:
  void SetUp() override {
    AdminToolTest::SetUp();
    // On Windows these keys lie in the system's registry, where no other
    // test uses them at the same time (tests/pins/CMakeLists.txt).
    registry_.Forget(kPinKey);
    registry_.Forget(pincipher::kMachineKeyPath);
    ASSERT_EQ(Admin({"create", "tok", "--type", "100", "--id", "0A1B"}).code, 0);
    pinFile_ = File("pin", "1234\n");
    ASSERT_EQ(Admin({"set-pin", "tok", "--pin-file", pinFile_}).code, 0);
    session_ = OpenSilentSession(nullptr);
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    CloseSession(session_);
    AdminToolTest::TearDown();
  }
  // The saved PIN as a tool reads it: for the type of device it asked for.
  HRESULT ReadSaved(const char* path, EAD_DeviceType type, CTOOString& pin) {
    const pincipher::DeviceTypeScope scope(type);
    return GetDevicePIN(session_, path, pincipher::kCallBacks, pin);
  }
  static bool KeyExists(const char* path) {
    try {
      CTooRegHLM key(path, TOOREG_READ);
      return true;
    } catch (const XTOORegError&) {
      return false;
    }
  }
  bool Saved() {
    bool saved = false;
    return SUCCEEDED(IsPinSaved(session_, kPath, saved)) && saved;
  }

  std::string pinFile_;
  DWORD session_ = 0;
};

// What `pin status` answers is test_admin.py's.
TEST_F(AdminPinTest, SavedPinReachesTheLibraryAndForgettingRemovesIt) {
  bool saved = true;
  EXPECT_EQ(IsPinSaved(session_, kPath, saved), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));  // no key yet

  const auto save = Admin({"pin", "save", "tok", "--pin-file", pinFile_});
  ASSERT_EQ(save.code, 0) << save.err;
  EXPECT_EQ((save.out + save.err).find("1234"), std::string::npos);  // the PIN is never shown
  EXPECT_TRUE(Saved());
  CTOOString pin;
  ASSERT_EQ(ReadSaved(kPath, kType, pin), S_OK);
  EXPECT_EQ(std::string(pin), "1234");

  EXPECT_EQ(Admin({"pin", "forget", "tok"}).code, 0);
  EXPECT_FALSE(Saved());
  EXPECT_EQ(ReadSaved(kPath, kType, pin), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Admin({"pin", "forget", "tok"}).code, 0);  // nothing left to forget
}

TEST_F(AdminPinTest, ThePinComesOnlyFromAFileOrStandardInputAndMustBeTheDevices) {
  EXPECT_EQ(Admin({"pin", "save", "tok", "1234"}).code, 2);  // never from the command line
  EXPECT_EQ(Admin({"pin", "save", "tok"}, "9999\n").code, 5);
  EXPECT_EQ(Admin({"pin", "save", "tok"}).code, 7);  // empty input
  EXPECT_FALSE(KeyExists(kPinKey));
  EXPECT_EQ(Admin({"pin", "save", "nosuch", "--pin-file", pinFile_}).code, 4);

  ASSERT_EQ(Admin({"pin", "save", "tok"}, "1234\n").code, 0);
  CTOOString pin;
  ASSERT_EQ(ReadSaved(kPath, kType, pin), S_OK);
  EXPECT_EQ(std::string(pin), "1234");
}

TEST_F(AdminPinTest, ADeviceOfAnotherTypeWithTheSameIdentifierGetsNoPin) {
  ASSERT_EQ(Admin({"pin", "save", "tok"}, "1234\n").code, 0);
  // Same identifier text, so the same registry key, but another type.
  ASSERT_EQ(Admin({"create", "other", "--type", "200", "--id", "0A1B"}).code, 0);
  CTOOString pin;
  EXPECT_EQ(ReadSaved("5|200\\17|0A1B", static_cast<EAD_DeviceType>(200), pin), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  EXPECT_TRUE(pin.IsEmpty());
  EXPECT_EQ(Admin({"pin", "status", "other"}).code, 3);  // saved, but not for this device
  ASSERT_EQ(ReadSaved(kPath, kType, pin), S_OK);
  EXPECT_EQ(std::string(pin), "1234");
}

}  // namespace
}  // namespace keydepot::ad
