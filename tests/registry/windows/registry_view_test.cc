// The registry on Windows: the 32-bit view, which 32-bit and 64-bit
// programs share.
#include "../registry_test.h"

namespace {

TEST_F(RegistryTest, KeysLieInTheViewA32BitProgramSees) {
  {
    CTooRegHLM reg(Key("View").c_str(), TOOREG_CREATE);
    ASSERT_TRUE(reg.SetValue("Here", DWORD{1}));
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key("View").c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(TooRegStoreFolder(), "HKEY_LOCAL_MACHINE");
}

}  // namespace
