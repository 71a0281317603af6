// What both systems' module loaders do alike for the library: load counts
// kept by GetModuleHandle and FreeLibrary, a module found from an address in
// it, the main program's own module.
#include "probe_modules.h"

#include "kdplatform/proc_address.h"

namespace {

using kdtest::probe::IsMapped;
using kdtest::probe::kFileName;
using kdtest::probe::Load;
using kdtest::probe::MixedCaseModule;

TEST_F(MixedCaseModule, GetModuleHandleLeavesTheLoadCountAlone) {
  HMODULE module = Load(RealPath());
  ASSERT_NE(module, nullptr);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(GetModuleHandleA(RealPath().c_str()), module);
  HMODULE viaEx = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, RealPath().c_str(), &viaEx));
  EXPECT_EQ(viaEx, module);

  ASSERT_TRUE(IsMapped(kFileName));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(IsMapped(kFileName));

  SetLastError(0);
  EXPECT_EQ(GetModuleHandleA(RealPath().c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_FALSE(IsMapped(kFileName)) << "looking up must not load";
}

TEST_F(MixedCaseModule, HandleFromAddressIsTheModule) {
  HMODULE module = Load(RealPath());
  ASSERT_NE(module, nullptr);
  auto address = kdp::ProcAs<const void* (*)()>(GetProcAddress(module, "PlatformProbeAddress"));
  ASSERT_NE(address, nullptr);

  HMODULE found = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 static_cast<LPCSTR>(address()), &found));
  EXPECT_EQ(found, module);

  // Without UNCHANGED_REFCOUNT the caller holds a reference of its own.
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCSTR>(address()), &found));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_TRUE(IsMapped(kFileName));
  EXPECT_TRUE(FreeLibrary(found));
  EXPECT_FALSE(IsMapped(kFileName));
}

TEST(ModuleLookup, MainProgram) {
  HMODULE main = GetModuleHandleA(nullptr);
  ASSERT_NE(main, nullptr);

  static const int inExecutable = 0;
  HMODULE found = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCSTR>(&inExecutable), &found));
  EXPECT_EQ(found, main);

  char viaNull[MAX_PATH] = {}, viaHandle[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, viaNull, MAX_PATH), 0u);
  ASSERT_GT(GetModuleFileNameA(main, viaHandle, MAX_PATH), 0u);
  EXPECT_STREQ(viaNull, viaHandle);
  EXPECT_TRUE(kdtest::probe::IsThisProgram(viaNull)) << viaNull;
  EXPECT_EQ(GetModuleHandleA(viaNull), main);
}

}  // namespace
