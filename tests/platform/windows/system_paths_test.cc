// What the library takes from the system about places: the application-data
// folders it appends its own names to, the type of the drive a container
// names (a removable drive gets the containers folder), free space asked of
// any folder, and the attributes of files, folders and missing paths.
#include "kdplatform/win32.h"

#include <kdtest/temp_folder.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using TempDir = kdtest::TempFolder;

std::string FolderPath(int folder) {
  char path[MAX_PATH] = "junk";
  const HRESULT hr = SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
  return SUCCEEDED(hr) ? std::string(path) : "failed";
}

// A full path with a drive letter, to which `\name` can be appended as is.
void ExpectAppendableFolder(const std::string& path) {
  ASSERT_GE(path.size(), 3u) << path;
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\') << path;
  EXPECT_NE(path.back(), '\\') << path;
  EXPECT_TRUE(std::filesystem::is_directory(path)) << path;
}

TEST(ShellFolders, CommonAppData) {
  const std::string common = FolderPath(CSIDL_COMMON_APPDATA);
  ExpectAppendableFolder(common);
  char made[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, made, CSIDL_COMMON_APPDATA, TRUE));
  EXPECT_EQ(made, common);
  char created[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, created), S_OK);
  EXPECT_EQ(created, common);
}

TEST(ShellFolders, LocalAppDataIsTheUsersOwn) {
  const std::string local = FolderPath(CSIDL_LOCAL_APPDATA);
  ExpectAppendableFolder(local);
  EXPECT_NE(_stricmp(local.c_str(), FolderPath(CSIDL_COMMON_APPDATA).c_str()), 0);
  if (const char* variable = std::getenv("LOCALAPPDATA")) {
    EXPECT_EQ(_stricmp(local.c_str(), variable), 0) << variable;
  }
  char made[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, made, CSIDL_LOCAL_APPDATA, TRUE));
  EXPECT_EQ(made, local);
}

// A drive letter no drive has, or 0.
char UnusedDrive() {
  const DWORD drives = GetLogicalDrives();
  for (char letter = 'Q'; letter <= 'Y'; ++letter)
    if (!(drives & (1u << (letter - 'A')))) return letter;
  return 0;
}

TEST(DriveMapping, DriveTypes) {
  char system[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 2u);
  const std::string drive(system, 2);  // "C:", as a path splits
  EXPECT_EQ(GetDriveTypeA((drive + "\\").c_str()), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA(drive.c_str()), DRIVE_FIXED) << "a drive without its separator is the same drive";
  EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_FIXED);  // the current folder's, the test's

  const char unused = UnusedDrive();
  ASSERT_NE(unused, 0);
  EXPECT_EQ(GetDriveTypeA((std::string(1, unused) + ":\\").c_str()), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA((std::string(1, unused) + ":").c_str()), DRIVE_NO_ROOT_DIR);
}

TEST(DiskSpace, AnyFolderIsARoot) {
  TempDir tmp;
  DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA((tmp.path() + "\\").c_str(), &spc, &bps, &freeClusters, &total)) << GetLastError();
  EXPECT_GT(spc, 0u);
  EXPECT_GT(bps, 0u);
  EXPECT_LE(freeClusters, total);
  EXPECT_GT(total, 0u);
  EXPECT_TRUE(GetDiskFreeSpaceA(nullptr, &spc, &bps, &freeClusters, &total));

  SetLastError(0);
  EXPECT_FALSE(GetDiskFreeSpaceA((tmp.path() + "\\missing\\").c_str(), &spc, &bps, &freeClusters, &total));
  EXPECT_NE(GetLastError(), 0u);
  const char unused = UnusedDrive();
  ASSERT_NE(unused, 0);
  EXPECT_FALSE(GetDiskFreeSpaceA((std::string(1, unused) + ":\\").c_str(), &spc, &bps, &freeClusters, &total));
}

TEST(FileAttributes, FilesFoldersAndMissingPaths) {
  TempDir tmp;
  const std::string file = tmp.path() + "\\f.bin";
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);

  EXPECT_TRUE(GetFileAttributesA(tmp.path().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(GetFileAttributesA((tmp.path() + "\\").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  const DWORD attributes = GetFileAttributesA(file.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));

  SetLastError(0);
  EXPECT_EQ(GetFileAttributesA((tmp.path() + "\\absent.bin").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA((tmp.path() + "\\absent\\x.bin").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA((file + "\\x").c_str()), INVALID_FILE_ATTRIBUTES);

  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
}

}  // namespace
