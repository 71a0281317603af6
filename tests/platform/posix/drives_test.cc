// The drive mapping, native paths, drive types, free space and attributes
// through the mapping.
#include "kdplatform/native_path.h"
#include "kdplatform/testing.h"
#include "kdplatform/win32.h"

#include <kdtest/environment.h>
#include <kdtest/temp_folder.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using kdtest::ScopedEnv;
using TempDir = kdtest::TempFolder;

std::string Native(const char* path) {
  std::string native = "untouched";
  return kdp::ToNativePath(path, &native) ? native : "refused:" + native;
}

TEST(DriveMapping, ToNativePath) {
  ScopedEnv drives("KEYDEPOT_DRIVES", "C=/srv/c;e=/media/usb/,removable;N=/mnt/a,b,remote;bad;Q=");
  EXPECT_EQ(Native("C:\\Keys\\cont.dat"), "/srv/c/Keys/cont.dat");
  EXPECT_EQ(Native("c:/Keys"), "/srv/c/Keys");
  EXPECT_EQ(Native("C:cont"), "/srv/c/cont");
  EXPECT_EQ(Native("C:"), "/srv/c");
  EXPECT_EQ(Native("E:\\x"), "/media/usb/x");
  EXPECT_EQ(Native("N:\\x"), "/mnt/a,b/x");
  EXPECT_EQ(Native("rel\\dir/f"), "rel/dir/f");
  EXPECT_EQ(Native("\\\\server\\share"), "//server/share");
  EXPECT_EQ(Native("Z:\\x"), "refused:untouched");
  EXPECT_EQ(Native("Q:\\x"), "refused:untouched");
  EXPECT_FALSE(kdp::ToNativePath(nullptr, nullptr));
}

TEST(DriveMapping, DriveTypes) {
  ScopedEnv drives("KEYDEPOT_DRIVES",
                   "C=/srv/c;E=/m/e,removable;N=/m/n,remote;R=/m/r,cdrom;M=/m/m,ramdisk;F=/m/f,fixed");
  EXPECT_EQ(GetDriveTypeA("C:"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("E:"), DRIVE_REMOVABLE);
  EXPECT_EQ(GetDriveTypeA("e:\\"), DRIVE_REMOVABLE);
  EXPECT_EQ(GetDriveTypeA("E:/"), DRIVE_REMOVABLE);
  EXPECT_EQ(GetDriveTypeA("N:"), DRIVE_REMOTE);
  EXPECT_EQ(GetDriveTypeA("R:"), DRIVE_CDROM);
  EXPECT_EQ(GetDriveTypeA("M:"), DRIVE_RAMDISK);
  EXPECT_EQ(GetDriveTypeA("F:"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("X:"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA("E:\\dir"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("/"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("/no/such/folder"), DRIVE_NO_ROOT_DIR);

  ScopedEnv none("KEYDEPOT_DRIVES", std::nullopt);
  EXPECT_EQ(GetDriveTypeA("E:"), DRIVE_NO_ROOT_DIR);
}

TEST(DiskSpace, RealFileSystemThroughTheMapping) {
  TempDir tmp;
  ScopedEnv drives("KEYDEPOT_DRIVES", "T=" + tmp.path());
  DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA("T:\\", &spc, &bps, &freeClusters, &total));
  EXPECT_EQ(spc, 8u);
  EXPECT_EQ(bps, 512u);
  EXPECT_LE(freeClusters, total);
  EXPECT_GT(total, 0u);
  EXPECT_TRUE(GetDiskFreeSpaceA(nullptr, &spc, &bps, &freeClusters, &total));

  SetLastError(0);
  EXPECT_FALSE(GetDiskFreeSpaceA("U:\\", &spc, &bps, &freeClusters, &total));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(GetDiskFreeSpaceA((tmp.path() + "/missing").c_str(), &spc, &bps, &freeClusters, &total));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(FileAttributes, FilesFoldersAndMissingPaths) {
  TempDir tmp;
  ScopedEnv drives("KEYDEPOT_DRIVES", "K=" + tmp.path());
  const std::string file = tmp.path() + "/f.bin";
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);

  EXPECT_EQ(GetFileAttributesA("K:\\"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA("K:\\f.bin"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_NORMAL);

  SetLastError(0);
  EXPECT_EQ(GetFileAttributesA("K:\\absent.bin"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA("K:\\absent\\x.bin"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA("K:\\f.bin\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA("W:\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  if (geteuid() != 0) {  // root may write anything
    EXPECT_EQ(GetFileAttributesA("K:\\f.bin"), FILE_ATTRIBUTE_READONLY);
  }
}

}  // namespace
