// The trust check on Windows, on real folders: what the file system keeps
// (under Wine: the host's owners and mode bits, which it shows as access
// lists; kdtest/wine_host.h).
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/security.h"
#include "kdplatform/trust.h"
#include "kdplatform/win32.h"

#include <gtest/gtest.h>
#include <kdtest/creation_log.h>
#include <kdtest/temp_folder.h>
#include <kdtest/wine_host.h>

#include <filesystem>
#include <string>

namespace {

class WindowsTrust : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kdp::CreateFolderPath(dir_ / "store\\device", kdp::Access::kOwnerOnly), 0u);
    ASSERT_EQ(kdp::ReplaceFileAtomically(dir_ / "store\\device\\item", "x", 1), 0u);
  }
  kdtest::TempFolder dir_;
};

TEST_F(WindowsTrust, WhatTheCallerMadeIsTrustedAndMissingPathsAreMissing) {
  std::string why = "stale";
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device\\item", &why), 0u) << why;
  EXPECT_EQ(why, "");
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store", &why), 0u) << why;
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\none", &why), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\none\\item", &why), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device\\item\\x", &why), ERROR_PATH_NOT_FOUND);
}

TEST_F(WindowsTrust, RelativePathsAreJudgedFromTheCurrentFolder) {
  // "." and ".." walk folders already judged; an empty path names nothing.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  std::string why = "stale";
  EXPECT_EQ(kdp::CheckTrusted("store\\.\\..\\store\\device\\item", &why), 0u) << why;
  EXPECT_EQ(kdp::CheckTrusted("store\\device\\none", &why), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(kdtest::SetAccessList(dir_ / "store\\device", "(A;OICI;0x1301ff;;;WD)"));
  EXPECT_EQ(kdp::CheckTrusted("store\\device\\item", &why), ERROR_ACCESS_DENIED);
  EXPECT_EQ(kdp::CheckTrusted("store\\device\\..\\device\\item", &why), ERROR_ACCESS_DENIED);
  std::filesystem::current_path(before);
  EXPECT_EQ(kdp::CheckTrusted("", &why), ERROR_FILE_NOT_FOUND);
}

TEST_F(WindowsTrust, AFileOthersMayWriteIsNotTrusted) {
  ASSERT_TRUE(kdtest::SetAccessList(dir_ / "store\\device\\item", "(A;;0x1301bf;;;WD)"));
  std::string why;
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device\\item", &why), ERROR_ACCESS_DENIED);
  EXPECT_NE(why.find(dir_ / "store\\device\\item"), std::string::npos) << why;
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device", &why), 0u) << why;  // its folder is still closed
  // Reading is no change.
  ASSERT_TRUE(kdtest::SetAccessList(dir_ / "store\\device\\item", "(A;;FRFX;;;WD)"));
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device\\item", &why), 0u) << why;
}

TEST_F(WindowsTrust, AFolderOthersMayChangeIsNotTrustedNorIsWhatItHolds) {
  // Everyone may add and remove entries (under Wine: mode o+w).
  ASSERT_TRUE(kdtest::SetAccessList(dir_ / "store\\device", "(A;OICI;0x1301ff;;;WD)"));
  std::string why;
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device\\item", &why), ERROR_ACCESS_DENIED);
  EXPECT_NE(why.find(dir_ / "store\\device"), std::string::npos) << why;
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device", &why), ERROR_ACCESS_DENIED);
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store", &why), 0u) << why;  // above it, nothing changed
  // Reading is no change.
  ASSERT_TRUE(kdtest::SetAccessList(dir_ / "store\\device", "(A;OICI;FRFX;;;WD)"));
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device\\item", &why), 0u) << why;
}

TEST_F(WindowsTrust, AnotherUsersFileOrFolderIsNotTrusted) {
  if (!kdtest::HostCanGiveAway()) GTEST_SKIP() << "making another user's file needs Wine run as root";
  ASSERT_TRUE(kdtest::GiveToOtherHostUser(dir_ / "store\\device\\item"));
  std::string why;
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device\\item", &why), ERROR_ACCESS_DENIED);
  EXPECT_NE(why.find("owned by another user"), std::string::npos) << why;
  ASSERT_TRUE(kdtest::GiveToOtherHostUser(dir_ / "store"));
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device", &why), ERROR_ACCESS_DENIED);
  EXPECT_NE(why.find(dir_ / "store"), std::string::npos) << why;
}

}  // namespace
