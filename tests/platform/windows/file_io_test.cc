// The file-I/O layer on Windows: owner-only access lists, the end of a
// pipe, saves that keep what is already there.
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/win32.h"

#include <gtest/gtest.h>
#include <kdtest/temp_folder.h>

#include <string>

namespace {

// Whether `path` has an access list of its own (not inherited) with exactly
// `entries` entries.
bool HasOwnAccessList(const std::string& path, DWORD entries) {
  DWORD size = 0;
  GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::string descriptor(size, '\0');
  if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size)) return false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  ACL_SIZE_INFORMATION info{};
  return GetSecurityDescriptorControl(descriptor.data(), &control, &revision) && (control & SE_DACL_PROTECTED) &&
         GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted) && present && acl &&
         GetAclInformation(acl, &info, sizeof info, AclSizeInformation) && info.AceCount == entries;
}

TEST(FileIoWindows, WhatItCreatesIsTheOwnersSystemsAndAdministratorsOnly) {
  const kdtest::TempFolder dir;
  // Wine keeps no access lists on most Linux file systems: it answers a
  // default list whatever was set.
  ASSERT_EQ(kdp::ReplaceFileAtomically(dir / "probe", "x", 1), 0u);
  if (!HasOwnAccessList(dir / "probe", 3)) GTEST_SKIP() << "this file system keeps no access lists";
  ASSERT_EQ(kdp::CreateFolderPath(dir / "a\\b", kdp::Access::kOwnerOnly), 0u);
  kdp::FileHandle file;
  ASSERT_EQ(kdp::OpenFile(dir / "a\\opened", kdp::kOpenWrite | kdp::kOpenCreate, &file), 0u);
  file.Close();
  ASSERT_EQ(kdp::ReplaceFileAtomically(dir / "a\\b\\replaced", "x", 1), 0u);
  ASSERT_EQ(kdp::ReplaceFileAtomically(dir / "a\\b\\shared", "x", 1, kdp::Access::kShared), 0u);
  for (const char* own : {"a", "a\\b", "a\\opened", "a\\b\\replaced"}) {
    EXPECT_TRUE(HasOwnAccessList(dir / own, 3)) << own;
  }
  EXPECT_FALSE(HasOwnAccessList(dir / "a\\b\\shared", 3));  // inherits its folder's
}

TEST(FileIoWindows, ThePipesWriterGoingAwayIsTheEnd) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  kdp::FileHandle in(reinterpret_cast<kdp::NativeFile>(read));
  {
    kdp::FileHandle out(reinterpret_cast<kdp::NativeFile>(write));
    ASSERT_EQ(kdp::WriteAll(out.Get(), "abc", 3), 0u);
    EXPECT_EQ(kdp::SyncFile(out.Get()), 0u);  // nothing to flush
  }
  char buffer[8] = {};
  std::size_t got = 0;
  EXPECT_EQ(kdp::ReadAll(in.Get(), buffer, sizeof buffer, &got), 0u);
  EXPECT_EQ(std::string(buffer, got), "abc");
}

}  // namespace
