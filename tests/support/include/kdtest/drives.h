// Drive letters for path tests. On Linux a letter is mapped to a folder
// through KEYDEPOT_DRIVES, the platform layer's drive map. On Windows a
// folder's own path already lies on a real fixed drive, and a removable
// drive's type is faked for the library's code in this program (the
// library only asks for the type of such a drive, never for its files).
#pragma once

#include <string>

namespace kdtest {

// The text that names `folder` as the root of a fixed drive: "X:" for the
// mapped letter on Linux, the folder's own path on Windows.
std::string FixedDrive(char letter, const std::string& folder);

// Makes `letter` a removable drive whose root is `folder` (Windows: the
// type only).
void RemovableDrive(char letter, const std::string& folder);

// Forgets every drive made here.
void ResetDrives();

// A path of the build machine (a file CMake names, $<TARGET_FILE:...>) as
// this program names it: unchanged on Linux; on Windows with backslashes,
// and a path from the root on drive Z:, where Wine shows the build machine's
// files (tests/CMakeLists.txt does the same for the paths it knows when it
// configures, keydepot_test_path).
std::string BuildMachinePath(const std::string& path);

}  // namespace kdtest
