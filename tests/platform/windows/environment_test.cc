// The environment on Windows, where the C run-time keeps a copy of its own:
// what the library sets must reach both, as programs it starts take the
// system's copy and getenv reads the run-time's. And descriptors a program
// is given ("3<file") are the run-time's, found by number.
#include "kdplatform/environment.h"
#include "kdplatform/file_io.h"
#include "kdplatform/win32.h"

#include <kdtest/temp_folder.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// The variable as the system holds it for this process, or "(unset)".
std::string SystemValue(const char* name) {
  char value[256] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND ? "(unset)" : std::string(value, length);
}

std::string RunTimeValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "(unset)";
}

TEST(Environment, ValuesReachTheSystemAndTheRunTime) {
  const char* name = "KEYDEPOT_ENV_PROBE";
  ASSERT_TRUE(kdp::SetEnvironmentValue(name, "C:\\store with spaces"));
  EXPECT_EQ(SystemValue(name), "C:\\store with spaces");
  EXPECT_EQ(RunTimeValue(name), "C:\\store with spaces");
  ASSERT_TRUE(kdp::SetEnvironmentValue(name, "second"));
  EXPECT_EQ(SystemValue(name), "second");
  EXPECT_EQ(RunTimeValue(name), "second");

  // The system has no empty variables: an empty value removes it.
  ASSERT_TRUE(kdp::SetEnvironmentValue(name, ""));
  EXPECT_EQ(SystemValue(name), "(unset)");
  EXPECT_EQ(RunTimeValue(name), "(unset)");
  ASSERT_TRUE(kdp::SetEnvironmentValue(name, "again"));
  EXPECT_TRUE(kdp::RemoveEnvironmentValue(name));
  EXPECT_EQ(SystemValue(name), "(unset)");
  EXPECT_EQ(RunTimeValue(name), "(unset)");
  EXPECT_TRUE(kdp::RemoveEnvironmentValue(name)) << "gone already";
  EXPECT_FALSE(kdp::SetEnvironmentValue("A=B", "x")) << "no '=' in a name";
}

TEST(Environment, InheritedFilesAreTheRunTimesDescriptors) {
  const kdtest::TempFolder dir;
  std::ofstream(dir / "pin.txt", std::ios::binary) << "1234\n";
  const int descriptor = _open((dir / "pin.txt").c_str(), _O_RDONLY | _O_BINARY);
  ASSERT_GE(descriptor, 3);
  const kdp::NativeFile file = kdp::InheritedFile(descriptor);
  ASSERT_NE(file, kdp::kNoFile);
  char buffer[16] = {};
  std::size_t got = 0;
  EXPECT_EQ(kdp::ReadAll(file, buffer, sizeof buffer, &got), 0u);
  EXPECT_EQ(std::string(buffer, got), "1234\n");
  _close(descriptor);

  // A number the program was not given is no file, and ends nothing (the
  // library installs no handler of invalid run-time parameters).
  EXPECT_EQ(kdp::InheritedFile(descriptor), kdp::kNoFile);
  EXPECT_EQ(kdp::InheritedFile(1000), kdp::kNoFile);
  EXPECT_EQ(kdp::InheritedFile(-1), kdp::kNoFile);
}

}  // namespace
