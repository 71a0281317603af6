// The system's module loader as the library uses it (a component loaded by
// its full path from its own folder, its exports found by name, the path of
// a module asked back), where Windows answers differently from Linux:
// names that differ only in letter case, own-symbol lookup, a freed handle
// and file-name truncation.
#include "../probe_modules.h"

#include "kdplatform/proc_address.h"

#include <cstdint>
#include <cstdio>

namespace {

namespace fs = std::filesystem;
using kdtest::probe::IsMapped;
using kdtest::probe::Load;
using kdtest::probe::MixedCaseModule;

TEST_F(MixedCaseModule, AnySpellingLoadsTheOneModule) {
  // The file system ignores letter case: a path differing in it is the same
  // file, and so the same module, never a second copy.
  HMODULE module = Load(RealPath());
  ASSERT_NE(module, nullptr) << GetLastError();
  const std::string otherCase = tmp_.path() + "\\mIXED\\casedir\\platprobe.dll";
  HMODULE again = Load(otherCase);
  EXPECT_EQ(again, module);

  char name[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, name, MAX_PATH);
  EXPECT_EQ(length, RealPath().size());
  EXPECT_EQ(_stricmp(name, RealPath().c_str()), 0) << name;

  EXPECT_EQ(GetModuleHandleA(otherCase.c_str()), module);
  EXPECT_EQ(GetModuleHandleA("platprobe.DLL"), module);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(IsMapped(kdtest::probe::kFileName));
}

TEST_F(MixedCaseModule, MissingComponentOrUnloadableFile) {
  SetLastError(0);
  EXPECT_EQ(Load(tmp_.path() + "\\mixed\\absent\\platprobe.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(Load(folder_ + "\\absent.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  // The module without its dependency beside it: the own folder and the
  // system folder are all that is searched.
  const std::string alone = tmp_.path() + "\\Alone";
  fs::create_directories(alone);
  fs::copy_file(PLATFORM_PROBE_MODULE, alone + "\\PlatProbe.DLL");
  EXPECT_EQ(Load(alone + "\\PlatProbe.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  const std::string text = folder_ + "\\NotAModule.dll";
  {
    std::FILE* f = std::fopen(text.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("text", f);
    std::fclose(f);
  }
  EXPECT_EQ(Load(text), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
}

TEST(ModuleLookup, GetProcAddressFindsOnlyTheModulesOwnSymbols) {
  HMODULE module = Load(PLATFORM_PROBE_MODULE);
  ASSERT_NE(module, nullptr) << GetLastError();
  auto own = kdp::ProcAs<int (*)()>(GetProcAddress(module, "PlatformProbeOwn"));
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own(), 40);

  ASSERT_TRUE(IsMapped(fs::path(PLATFORM_PROBE_DEP).filename().string().c_str())) << "loaded with the module";
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(module, "PlatformProbeDepOnly"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(module, "malloc"), nullptr);  // imported, not exported
  EXPECT_EQ(GetProcAddress(module, "platformprobeown"), nullptr) << "export names keep their case";
  EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(std::uintptr_t{300})), nullptr);  // an ordinal
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(ModuleLookup, AFreedHandleIsRefused) {
  HMODULE module = Load(PLATFORM_PROBE_MODULE);
  ASSERT_NE(module, nullptr);
  ASSERT_NE(GetProcAddress(module, "PlatformProbeOwn"), nullptr);
  ASSERT_TRUE(FreeLibrary(module));

  char name[MAX_PATH];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(module, name, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(GetModuleHandleA(PLATFORM_PROBE_MODULE), nullptr);
  int onStack = 0;
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&onStack), name, MAX_PATH), 0u);
}

// A name cut short fills the buffer and says so; whether its last byte is the
// terminator differs (Windows Vista and later: yes; XP and Wine: no), so the
// library takes a result as long as the buffer for a name cut short.
TEST(ModuleLookup, FileNameTruncatesTheWin32Way) {
  HMODULE module = Load(PLATFORM_PROBE_MODULE);
  ASSERT_NE(module, nullptr);
  char full[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(module, full, MAX_PATH), 0u);
  const std::string path = full;

  std::string exact(path.size() + 1, 'x');
  EXPECT_EQ(GetModuleFileNameA(module, exact.data(), static_cast<DWORD>(exact.size())), path.size());
  EXPECT_EQ(exact.c_str(), path);

  std::string small(20, '#');
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(module, small.data(), 10), 10u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(small.substr(0, 9), path.substr(0, 9));
  EXPECT_TRUE(small[9] == '\0' || small[9] == path[9]);
  EXPECT_EQ(small.substr(10), std::string(10, '#')) << "written past the buffer";

  std::string oneShort(path.size(), 'x');
  EXPECT_EQ(GetModuleFileNameA(module, oneShort.data(), static_cast<DWORD>(oneShort.size())), path.size());
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
