// The trust check on Windows, on real folders: what the file system keeps
// (under Wine: the host's owners and mode bits, which it shows as access
// lists; kdtest/wine_host.h).
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/security.h"
#include "kdplatform/trust.h"
#include "kdplatform/win32.h"

#include <aclapi.h>

#include <gtest/gtest.h>
#include <kdtest/temp_folder.h>
#include <kdtest/wine_host.h>

#include <string>

namespace {

// Gives `path` a protected DACL of the caller's, SYSTEM's and the
// Administrators', plus `extra` (SDDL entries).
void SetAccessList(const std::string& path, const std::string& extra) {
  const std::string sddl =
      kdp::SecurityDescriptorText(kdp::SecurityRole::kOwnerOnly, kdp::SecuredObject::kFolder, kdp::CallerSidText()) +
      extra;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(
      ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  EXPECT_EQ(SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  dacl, nullptr),
            0u);
  LocalFree(descriptor);
}

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

TEST_F(WindowsTrust, AFolderOthersMayChangeIsNotTrustedNorIsWhatItHolds) {
  // Everyone may add and remove entries (under Wine: mode o+w).
  SetAccessList(dir_ / "store\\device", "(A;OICI;0x1301ff;;;WD)");
  std::string why;
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device\\item", &why), ERROR_ACCESS_DENIED);
  EXPECT_NE(why.find(dir_ / "store\\device"), std::string::npos) << why;
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store\\device", &why), ERROR_ACCESS_DENIED);
  EXPECT_EQ(kdp::CheckTrusted(dir_ / "store", &why), 0u) << why;  // above it, nothing changed
  // Reading is no change.
  SetAccessList(dir_ / "store\\device", "(A;OICI;FRFX;;;WD)");
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
