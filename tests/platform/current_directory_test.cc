// GetCurrentDirectoryA's buffer contract: the system's own on Windows, the
// platform layer's on Linux.
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(CurrentDirectory, Win32BufferContract) {
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), cwd.size() + 1);
  std::vector<char> small(cwd.size(), 'j');
  EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(small.size()), small.data()), cwd.size() + 1);
  std::vector<char> exact(cwd.size() + 1);
  EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(exact.size()), exact.data()), cwd.size());
  EXPECT_EQ(std::string(exact.data()), cwd);
}

}  // namespace
