// A temporary store holding one device "dev" with a user PIN and an admin
// PIN, hashed with the fewest iterations a description takes so that each
// check is cheap, and the default limit of 10 wrong PINs.
#pragma once

#include "store/device_store.h"
#include "store/pin_tries.h"

#include <gtest/gtest.h>
#include <kdtest/temp_folder.h>

#include <string>

namespace nodyx::test {

class PinTriesTest : public ::testing::Test {
 protected:
  static constexpr const char* kUserPin = "1234";
  static constexpr const char* kAdminPin = "admin-5678";

  void SetUp() override {
    record_.type = 100;
    record_.id = {1};
    record_.displayName = record_.systemName = "dev";
    record_.pin = HashNewPin(kUserPin, kMinPinIterations);
    record_.adminPin = HashNewPin(kAdminPin, kMinPinIterations);
    ASSERT_TRUE(record_.pin && record_.adminPin);
    ASSERT_EQ(store_.Create("dev", record_), S_OK);
  }

  HRESULT User(const std::string& pin) {
    return CheckPinCounted(store_, "dev", PinRole::kUser, *record_.pin, record_.pinTryLimit, pin);
  }
  HRESULT Admin(const std::string& pin) {
    return CheckPinCounted(store_, "dev", PinRole::kAdmin, *record_.adminPin, record_.pinTryLimit, pin);
  }
  PinTries Counted() {
    PinTries tries;
    EXPECT_EQ(ReadPinTries(store_, "dev", &tries), S_OK);
    return tries;
  }
  std::string TriesFile() const { return store_.root() + "/dev/pin-tries"; }

  kdtest::TempFolder temp_;
  DeviceStore store_{temp_ / "store"};
  DeviceRecord record_;
};

}  // namespace nodyx::test
