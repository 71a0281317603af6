// The library on a software-token device that counts wrong PINs, on every
// system: the device locks after its limit, the lock outlives the session,
// and the device tells the tries left through IAD_PinStatus.
#include "keydepot/keydepot.h"
#include "kdplatform/win32.h"

#include <gtest/gtest.h>
#include <kdtest/environment.h>
#include <kdtest/temp_folder.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace keydepot {
namespace {

namespace fs = std::filesystem;

constexpr HRESULT kWrongPin = HRESULT_FROM_WIN32(86);
constexpr HRESULT kPinLocked = static_cast<HRESULT>(0x8010006Cu);  // SCARD_W_CHV_BLOCKED
constexpr char kPath[] = "1|2\\5|100\\17|5A01\\8|item";

class PinLimitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path device = fs::path(temp_.path()) / "store" / "dev";
    fs::create_directories(device / "items");
    // The PIN "2468", hashed with 1000 iterations of a salt 00..0F; the
    // item a record of "x".
    std::ofstream(device / "device.json") << R"({"format":1,"type":100,"id":"5A01","displayName":"Limited",
      "systemName":"dev","pinTryLimit":3,"pin":{"salt":"000102030405060708090A0B0C0D0E0F","iterations":1000,
      "hash":"DA0AF9C4241F45EC5701B0F2E490F9C794DB8F2AACCA766C6081A721D04BE295"}})";
    std::ofstream(device / "items" / "item", std::ios::binary) << std::string("\x01\0\0\0x", 5);
  }

  // Loads the item with `pin` in a session of its own; the last error.
  static int LoadWith(const std::string& pin) {
    const DWORD session = ad::OpenSilentSession(nullptr);
    EXPECT_NE(session, 0u);
    IdentObj data;
    CertInfo record;
    record.path = kPath;
    record.data = &data;
    record.session = session;
    record.pin = &pin;
    const bool loaded = Load(&record);
    const int code = KDPGetLastError();
    EXPECT_EQ(loaded, code == 0);
    ad::CloseSession(session);
    return code;
  }

  static DWORD TriesLeft() {
    const DWORD session = ad::OpenSilentSession(nullptr);
    ComPtr<IAD_Device> device;
    EXPECT_EQ(ad::FindDeviceByPath(session, kPath, device.put()), S_OK);
    ComPtr<IAD_PinStatus> status;
    DWORD left = AD_PIN_TRIES_UNKNOWN, limit = 0, flags = 0;
    if (device && SUCCEEDED(device.As(&status))) {
      EXPECT_EQ(status->GetPinStatus(&left, &limit, &flags), S_OK);
      EXPECT_EQ(limit, 3u);
      EXPECT_EQ((flags & AD_PIN_LOCKED) != 0, left == 0);
    }
    device = nullptr;
    ad::CloseSession(session);
    return left;
  }

  kdtest::TempFolder temp_;
  kdtest::ScopedEnv store_{"NODYX_STORE", (fs::path(temp_.path()) / "store").string()};
  kdtest::ScopedEnv data_{"KEYDEPOT_COMMON_APPDATA", temp_.path()};
};

TEST_F(PinLimitTest, TheLimitLocksTheDeviceAcrossSessions) {
  EXPECT_EQ(TriesLeft(), 3u);
  EXPECT_EQ(LoadWith("1111"), HResult2ToolsErr(kWrongPin));
  EXPECT_EQ(LoadWith("2468"), 0);  // the right PIN before the limit clears the count
  EXPECT_EQ(TriesLeft(), 3u);
  for (DWORD left = 2;; --left) {
    EXPECT_EQ(LoadWith("1111"), HResult2ToolsErr(kWrongPin));
    EXPECT_EQ(TriesLeft(), left);
    if (left == 0) break;
  }
  EXPECT_EQ(LoadWith("2468"), HResult2ToolsErr(kPinLocked));
  EXPECT_EQ(LoadWith("1111"), HResult2ToolsErr(kPinLocked));
  EXPECT_EQ(TriesLeft(), 0u);
}

}  // namespace
}  // namespace keydepot
