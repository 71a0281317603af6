// The file-I/O layer on Windows: owner-only access lists, the end of a
// pipe, whole-file reads that never wait on a pipe, folders of every kind
// of root, saves that keep what is
// already there and never give a key away, opens that do not follow reparse
// points.
#include "../../../platform/folders.h"
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/path_names.h"
#include "kdplatform/security.h"
#include "kdplatform/win32.h"

#include <aclapi.h>

#include <gtest/gtest.h>
#include <kdtest/creation_log.h>
#include <kdtest/temp_folder.h>
#include <kdtest/wine_host.h>

#include <fstream>
#include <sstream>
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

TEST(FileIoWindows, ANamedPipeNeverBlocksAWholeFileRead) {
  // A pipe whose server never writes would block a read forever.
  const std::string name = "\\\\.\\pipe\\keydepot-test-" + std::to_string(GetCurrentProcessId());
  const HANDLE server =
      CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 2, 64, 64, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE) << GetLastError();
  kdp::WipedBytes bytes;
  EXPECT_EQ(kdp::ReadWholeFile(name, 10, &bytes), ERROR_ACCESS_DENIED);
  EXPECT_EQ(bytes.size(), 0u);
  CloseHandle(server);
}

// A save makes its temporary file in the folder of the file it replaces,
// whatever form of root the path has: elsewhere the rename would cross
// folders (or drives) and the folder's checks would judge the wrong one.
TEST(FileIoWindows, ParentsAndJoinsKeepEveryKindOfRoot) {
  using kdp::detail::JoinPath;
  using kdp::detail::ParentOf;
  EXPECT_EQ(ParentOf("C:\\keys\\a.pem"), "C:\\keys");
  EXPECT_EQ(ParentOf("C:/keys//a.pem"), "C:/keys");
  EXPECT_EQ(ParentOf("C:\\a.pem"), "C:\\");
  EXPECT_EQ(ParentOf("C:\\"), "C:\\");
  EXPECT_EQ(ParentOf("C:a.pem"), "C:");
  EXPECT_EQ(ParentOf("\\\\srv\\share\\a.pem"), "\\\\srv\\share\\");
  EXPECT_EQ(ParentOf("\\\\srv\\share\\"), "\\\\srv\\share\\");
  EXPECT_EQ(ParentOf("\\a.pem"), "\\");
  EXPECT_EQ(ParentOf("a.pem"), ".");
  EXPECT_EQ(ParentOf("keys\\a.pem"), "keys");

  for (const char* path :
       {"C:\\keys\\a.pem", "C:\\a.pem", "C:a.pem", "\\\\srv\\share\\a.pem", "\\a.pem", "keys\\a.pem"}) {
    EXPECT_EQ(JoinPath(ParentOf(path), "a.pem"), path) << "back where it was";
  }
  EXPECT_EQ(JoinPath(".", "a.pem"), ".\\a.pem");

  // What names one file whatever the current folder and drive.
  for (const char* path : {"C:\\keys", "c:/keys", "\\\\srv\\share", "//srv/share"}) {
    EXPECT_TRUE(kdp::IsAbsolutePath(path)) << path;
  }
  for (const char* path : {"\\keys", "C:keys", "keys\\a.pem", "", "1:\\keys"}) {
    EXPECT_FALSE(kdp::IsAbsolutePath(path)) << path;
  }
}

std::string Content(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FileIoWindows, ASavedFileIsOwnerOnlyWhateverTheFileItReplacedAllowed) {
  const kdtest::TempFolder dir;
  ASSERT_EQ(kdp::ReplaceFileAtomically(dir / "cert.pem", "old", 3, kdp::Access::kShared), 0u);
  ASSERT_TRUE(kdtest::SetAccessList(dir / "cert.pem", "(A;;FRFX;;;WD)"));
  ASSERT_NE(kdtest::FileExposure(dir / "cert.pem").othersMay & FILE_READ_DATA, 0u);
  ASSERT_EQ(kdp::SaveFile(dir / "cert.pem", "key", 3), 0u);
  EXPECT_EQ(Content(dir / "cert.pem"), "key");
  EXPECT_EQ(kdtest::FileExposure(dir / "cert.pem").othersMay, 0u) << "others may still read the key";
}

// In a folder every user may change (as /tmp is on Linux), another
// user's file is never written into nor replaced: whatever went there would
// be theirs to read. Elsewhere a save replaces it with the caller's file.
TEST(FileIoWindows, ASaveRefusesAnotherUsersFileInAFolderOthersMayChange) {
  if (!kdtest::HostCanGiveAway()) GTEST_SKIP() << "making another user's file needs Wine run as root";
  const kdtest::TempFolder dir;
  ASSERT_EQ(kdp::CreateFolder(dir / "pub", kdp::Access::kOwnerOnly), 0u);
  ASSERT_TRUE(kdtest::SetHostMode(dir / "pub", 01777));
  ASSERT_TRUE(kdp::OthersMayChange(kdtest::FileExposure(dir / "pub")));
  for (const char* name : {"pub\\out.pem", "theirs.pem"}) {
    ASSERT_EQ(kdp::ReplaceFileAtomically(dir / name, "theirs", 6, kdp::Access::kShared), 0u);
    ASSERT_TRUE(kdtest::SetHostMode(dir / name, 0666));
    ASSERT_TRUE(kdtest::GiveToOtherHostUser(dir / name));
    ASSERT_TRUE(kdtest::FileExposure(dir / name).ownedByOther) << name;
  }
  EXPECT_EQ(kdp::SaveFile(dir / "pub\\out.pem", "key", 3), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Content(dir / "pub\\out.pem"), "theirs");
  EXPECT_TRUE(kdtest::FileExposure(dir / "pub\\out.pem").ownedByOther);

  // The caller's own files and new files there are saved as ever.
  ASSERT_EQ(kdp::SaveFile(dir / "pub\\new.pem", "key", 3), 0u);
  ASSERT_EQ(kdp::SaveFile(dir / "pub\\new.pem", "key2", 4), 0u);
  EXPECT_EQ(Content(dir / "pub\\new.pem"), "key2");

  // In the caller's own folder the other user's file is replaced by the
  // caller's, owner-only.
  ASSERT_EQ(kdp::SaveFile(dir / "theirs.pem", "key", 3), 0u);
  EXPECT_EQ(Content(dir / "theirs.pem"), "key");
  const kdp::Exposure replaced = kdtest::FileExposure(dir / "theirs.pem");
  EXPECT_FALSE(replaced.ownedByOther);
  EXPECT_EQ(replaced.othersMay, 0u);
}

// A reparse point: refused by kOpenNoFollow; a save follows the caller's
// own link in the caller's own folder and keeps the link. Wine makes no
// symbolic links (and shows the host's as the files they lead to).
TEST(FileIoWindows, NoFollowRefusesALinkThatASaveFollows) {
  const kdtest::TempFolder dir;
  ASSERT_EQ(kdp::ReplaceFileAtomically(dir / "target", "old", 3), 0u);
  kdp::FileHandle file;
  ASSERT_EQ(kdp::OpenFile(dir / "target", kdp::kOpenRead | kdp::kOpenNoFollow, &file), 0u);
  file.Close();
  if (!CreateSymbolicLinkA((dir / "link").c_str(), (dir / "target").c_str(),
                           SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
      !(GetFileAttributesA((dir / "link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) ||
      GetFileAttributesA((dir / "link").c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no symbolic links can be made here";
  }
  EXPECT_EQ(kdp::OpenFile(dir / "link", kdp::kOpenRead | kdp::kOpenNoFollow, &file), ERROR_CANT_RESOLVE_FILENAME);
  EXPECT_EQ(
      kdp::OpenFile(dir / "link", kdp::kOpenWrite | kdp::kOpenCreate | kdp::kOpenTruncate | kdp::kOpenNoFollow, &file),
      ERROR_CANT_RESOLVE_FILENAME);
  EXPECT_EQ(Content(dir / "target"), "old");
  ASSERT_EQ(kdp::SaveFile(dir / "link", "new", 3), 0u);
  EXPECT_EQ(Content(dir / "target"), "new");
  EXPECT_NE(GetFileAttributesA((dir / "link").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
}

}  // namespace
