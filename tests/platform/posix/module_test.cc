// Module loading against real modules, as the Linux layer does it: exact
// paths, own-symbol lookup, bad handles and file-name truncation.
#include "../probe_modules.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using TempDir = kdtest::TempFolder;

using kdtest::probe::IsMapped;
using kdtest::probe::MixedCaseModule;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

TEST_F(MixedCaseModule, OnlyTheRealSpellingLoads) {
  const std::string lowered = tmp_.path() + Lower("/Mixed/CaseDir/PlatProbe.SO");
  // A path differing in letter case names another file, even when that one
  // does not exist.
  SetLastError(0);
  EXPECT_EQ(LoadLibraryExA(lowered.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_FALSE(IsMapped("PlatProbe.SO"));

  HMODULE module = LoadLibraryExA(RealPath().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(module, nullptr) << GetLastError();
  char name[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, name, MAX_PATH);
  EXPECT_EQ(std::string(name), RealPath());
  EXPECT_EQ(length, RealPath().size());

  EXPECT_EQ(GetModuleHandleA(RealPath().c_str()), module);
  EXPECT_EQ(GetModuleHandleA(lowered.c_str()), nullptr);
  EXPECT_EQ(GetModuleHandleA("platprobe.so"), module);  // a bare name matches any loaded module's, ignoring case
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(MixedCaseModule, MissingComponentOrUnloadableFile) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryExA((tmp_.path() + "/mixed/nothere/platprobe.so").c_str(), nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryExA((tmp_.path() + "/mixed/casedir/absent.so").c_str(), nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  const std::string text = folder_ + "/NotAModule.so";
  {
    std::FILE* f = std::fopen(text.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("text", f);
    std::fclose(f);
  }
  EXPECT_EQ(LoadLibraryExA(text.c_str(), nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
}

TEST(ModuleLookup, GetProcAddressFindsOnlyTheModulesOwnSymbols) {
  HMODULE module = LoadLibraryExA(PLATFORM_PROBE_MODULE, nullptr, 0);
  ASSERT_NE(module, nullptr);
  auto own = reinterpret_cast<int (*)()>(GetProcAddress(module, "PlatformProbeOwn"));
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own(), 40);

  ASSERT_NE(dlsym(module, "PlatformProbeDepOnly"), nullptr) << "the loader itself searches dependencies";
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(module, "PlatformProbeDepOnly"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(module, "malloc"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(std::uintptr_t{3})), nullptr);  // an ordinal
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(ModuleLookup, BadHandlesAreRefused) {
  int onStack = 0;
  auto* onHeap = new int[4]{};
  for (HMODULE bogus : {static_cast<HMODULE>(&onStack), static_cast<HMODULE>(onHeap),
                        reinterpret_cast<HMODULE>(std::uintptr_t{0x10})}) {
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(bogus, "PlatformProbeOwn"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(FreeLibrary(bogus));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    char name[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(bogus, name, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  }
  delete[] onHeap;

  // A handle that was valid once, and whose export was found while it was.
  HMODULE module = LoadLibraryExA(PLATFORM_PROBE_MODULE, nullptr, 0);
  ASSERT_NE(module, nullptr);
  ASSERT_NE(GetProcAddress(module, "PlatformProbeOwn"), nullptr);
  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(module));
  EXPECT_EQ(GetProcAddress(module, "PlatformProbeOwn"), nullptr);
}

TEST(ModuleLookup, FileNameTruncatesTheWin32Way) {
  HMODULE module = LoadLibraryExA(PLATFORM_PROBE_MODULE, nullptr, 0);
  ASSERT_NE(module, nullptr);
  const std::string full = PLATFORM_PROBE_MODULE;

  std::string exact(full.size() + 1, 'x');
  SetLastError(12345);
  EXPECT_EQ(GetModuleFileNameA(module, exact.data(), static_cast<DWORD>(exact.size())), full.size());
  EXPECT_EQ(exact.c_str(), full);
  EXPECT_EQ(GetLastError(), 12345u) << "success leaves the last error alone";

  std::string small(10, 'x');
  EXPECT_EQ(GetModuleFileNameA(module, small.data(), 10), 10u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(small, full.substr(0, 9) + '\0');

  std::string oneShort(full.size(), 'x');
  EXPECT_EQ(GetModuleFileNameA(module, oneShort.data(), static_cast<DWORD>(oneShort.size())), full.size());
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
