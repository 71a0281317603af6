// The saved-PIN cipher against a registry of the test's own.
#include "pincipher/pin_cipher.h"
#include "kdplatform/win32.h"
#include "tools2/errors.h"
#include "tools2/registry.h"

#include <gtest/gtest.h>
#include <kdtest/registry.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const int kInvalidData = WinErr2ToolsErr(ERROR_INVALID_DATA);
const auto kType = static_cast<EAD_DeviceType>(100);
const int kInvalidParameter = WinErr2ToolsErr(ERROR_INVALID_PARAMETER);

class PinCipherTest : public ::testing::Test {
 protected:
  // The machine key's place is fixed: on Windows it lies in the system's
  // registry and is deleted when the test ends (the tests of this program
  // never run at the same time, tests/pins/CMakeLists.txt).
  void SetUp() override { registry_.Forget(pincipher::kMachineKeyPath); }

  static bool MachineKeyExists() {
    try {
      CTooRegHLM key(pincipher::kMachineKeyPath, TOOREG_READ);
      return true;
    } catch (const XTOORegError&) {
      return false;
    }
  }

  // Deciphers into a buffer of `size` for a device of `type`; the PIN, or
  // the code as text.
  static std::string Decipher(const Bytes& enciphered, const std::string& idText, DWORD size = 300,
                              EAD_DeviceType type = kType) {
    const pincipher::DeviceTypeScope scope(type);
    std::vector<unsigned char> out(size, 0xCC);
    DWORD length = 0;
    const int code =
        pincipher::Decipher(out.data(), size, &length, enciphered.data(), static_cast<DWORD>(enciphered.size()),
                            reinterpret_cast<const unsigned char*>(idText.data()), static_cast<DWORD>(idText.size()));
    if (code != 0) {
      for (unsigned char c : out) {
        if (c != 0xCC && c != 0) return "PIN bytes left in the output";
      }
      return "code " + std::to_string(code);
    }
    return std::string(reinterpret_cast<const char*>(out.data()), length);
  }
  static std::string CodeText(int code) { return "code " + std::to_string(code); }

  kdtest::TestRegistry registry_;
};

TEST_F(PinCipherTest, RoundTripBindsTheDeviceAndTheMachineKey) {
  Bytes first, second;
  ASSERT_EQ(pincipher::Encipher(kType, "0A1B", "1234", &first), 0);
  ASSERT_EQ(pincipher::Encipher(kType, "0A1B", "1234", &second), 0);
  EXPECT_NE(first, second);  // a fresh nonce each time
  EXPECT_EQ(first.size(), 4 + pincipher::kOverheadBytes);
  EXPECT_EQ(Decipher(first, "0A1B"), "1234");
  EXPECT_EQ(Decipher(second, "0A1B"), "1234");

  // Another device's text, even differing only in case, does not decipher.
  EXPECT_EQ(Decipher(first, "0A1C"), CodeText(kInvalidData));
  EXPECT_EQ(Decipher(first, "0a1b"), CodeText(kInvalidData));
  EXPECT_EQ(Decipher(first, ""), CodeText(kInvalidData));

  // Nor does one made under another machine key.
  {
    CTooRegHLM key(pincipher::kMachineKeyPath, TOOREG_WRITE);
    ASSERT_TRUE(key.DelValue(pincipher::kMachineKeyValue));
  }
  EXPECT_EQ(Decipher(first, "0A1B"), CodeText(TOOERR_FILE_MISSING));
  Bytes third;
  ASSERT_EQ(pincipher::Encipher(kType, "0A1B", "1234", &third), 0);
  EXPECT_EQ(Decipher(first, "0A1B"), CodeText(kInvalidData));
  EXPECT_EQ(Decipher(third, "0A1B"), "1234");
}

TEST_F(PinCipherTest, ValueEncipheredElsewhereDeciphersWithTheSameMachineKey) {
  // Made on Linux with this machine key: every system's build reads it.
  Bytes machineKey(32);
  for (std::size_t i = 0; i < machineKey.size(); ++i) machineKey[i] = static_cast<std::uint8_t>(i);
  {
    CTooRegHLM key(pincipher::kMachineKeyPath, TOOREG_CREATE);
    ASSERT_TRUE(key.AddValue(pincipher::kMachineKeyValue, machineKey.data(), machineKey.size()));
  }
  const Bytes enciphered = {0x02, 0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9,
                            0xaa, 0xab, 0xd7, 0x2a, 0x4f, 0x19, 0xa5, 0xbe, 0xbf, 0x2e, 0xf6,
                            0xe2, 0xfe, 0xde, 0x28, 0x8a, 0x23, 0x4c, 0x4f, 0x09, 0xc2, 0xa0};
  EXPECT_EQ(Decipher(enciphered, "0A1B"), "1234");
  // The same PIN saved before values named the device's type: refused with
  // its own code, so that the tools can say to save it again.
  const Bytes typeUnbound = {0x01, 0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9,
                             0xaa, 0xab, 0xd7, 0x2a, 0x4f, 0x19, 0xfd, 0xbe, 0xe5, 0x75, 0x95,
                             0x69, 0x21, 0x3e, 0xa0, 0xd2, 0xd6, 0x62, 0x68, 0x99, 0x10, 0x2c};
  EXPECT_EQ(Decipher(typeUnbound, "0A1B"), CodeText(WinErr2ToolsErr(ERROR_REVISION_MISMATCH)));
}

TEST_F(PinCipherTest, AValueDeciphersOnlyForTheDeviceTypeItWasSavedFor) {
  Bytes enciphered;
  ASSERT_EQ(pincipher::Encipher(kType, "0A1B", "1234", &enciphered), 0);
  // A device of another type that reports the same identifier text reads the
  // same registry key; it must not receive the PIN.
  EXPECT_EQ(Decipher(enciphered, "0A1B", 300, static_cast<EAD_DeviceType>(300)), CodeText(kInvalidData));
  EXPECT_EQ(Decipher(enciphered, "0A1B", 300, static_cast<EAD_DeviceType>(100 + 256)), CodeText(kInvalidData));
  EXPECT_EQ(Decipher(enciphered, "0A1B"), "1234");

  // The innermost scope counts, and none at all is refused before anything
  // is read.
  {
    const pincipher::DeviceTypeScope outer(static_cast<EAD_DeviceType>(300));
    EXPECT_EQ(Decipher(enciphered, "0A1B"), "1234");
  }
  std::vector<unsigned char> out(300, 0);
  DWORD length = 0;
  EXPECT_EQ(pincipher::Decipher(out.data(), 300, &length, enciphered.data(), static_cast<DWORD>(enciphered.size()),
                                reinterpret_cast<const unsigned char*>("0A1B"), 4),
            kInvalidParameter);
}

TEST_F(PinCipherTest, EveryChangedByteIsRefused) {
  Bytes enciphered;
  ASSERT_EQ(pincipher::Encipher(kType, "ID", "secret-pin", &enciphered), 0);
  for (std::size_t i = 0; i < enciphered.size(); ++i) {
    Bytes changed = enciphered;
    changed[i] ^= 0x01;
    EXPECT_EQ(Decipher(changed, "ID"), CodeText(kInvalidData)) << "byte " << i;
  }
  for (std::size_t cut = 0; cut < enciphered.size(); ++cut) {
    EXPECT_EQ(Decipher(Bytes(enciphered.begin(), enciphered.begin() + static_cast<std::ptrdiff_t>(cut)), "ID"),
              CodeText(kInvalidData))
        << "cut at " << cut;
  }
  // A PIN larger than the output is refused before anything is written.
  EXPECT_EQ(Decipher(enciphered, "ID", 9), CodeText(WinErr2ToolsErr(ERROR_INSUFFICIENT_BUFFER)));
  EXPECT_EQ(Decipher(enciphered, "ID", 10), "secret-pin");
}

TEST_F(PinCipherTest, PinLimitsAndTheMachineKey) {
  Bytes out = {1};
  // A zero byte would cut the PIN when it is read back; too long would not fit.
  EXPECT_EQ(pincipher::Encipher(kType, "ID",
                                std::string("12\0"
                                            "34",
                                            5),
                                &out),
            kInvalidParameter);
  EXPECT_EQ(pincipher::Encipher(kType, "ID", std::string(pincipher::kMaxPinBytes + 1, 'p'), &out), kInvalidParameter);
  EXPECT_EQ(out, Bytes{1});
  EXPECT_FALSE(MachineKeyExists());  // refusals make no key

  const std::string longest(pincipher::kMaxPinBytes, 'p');
  ASSERT_EQ(pincipher::Encipher(kType, "ID", longest, &out), 0);
  EXPECT_EQ(out.size(), pincipher::kMaxEncipheredBytes);
  EXPECT_EQ(Decipher(out, "ID"), longest);

  CTooRegHLM key(pincipher::kMachineKeyPath, TOOREG_READ);
  EXPECT_EQ(key.GetBufferLength(pincipher::kMachineKeyValue), 32u);

  // A damaged machine key is refused rather than used.
  CTooRegHLM writable(pincipher::kMachineKeyPath, TOOREG_WRITE);
  ASSERT_TRUE(writable.SetValue(pincipher::kMachineKeyValue, "short", 5));
  EXPECT_EQ(Decipher(out, "ID"), CodeText(kInvalidData));
  EXPECT_EQ(pincipher::Encipher(kType, "ID", "1", &out), kInvalidData);
}

}  // namespace
