// Access lists on Windows: the one builder of what the project creates with,
// what each creation passes, and how descriptors others made are judged.
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/security.h"
#include "kdplatform/win32.h"

#include <gtest/gtest.h>
#include <kdtest/creation_log.h>
#include <kdtest/temp_folder.h>

#include <initializer_list>
#include <string>

namespace {

using kdp::SecuredObject;
using kdp::SecurityRole;

constexpr char kCaller[] = "S-1-5-21-1-2-3-1001";
constexpr char kOtherUser[] = "S-1-5-21-1-2-3-1002";

// A descriptor made from SDDL, freed when it goes.
class Descriptor {
 public:
  explicit Descriptor(const std::string& sddl) {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
      ADD_FAILURE() << "not SDDL: " << sddl;
    }
  }
  ~Descriptor() { LocalFree(descriptor_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  PSECURITY_DESCRIPTOR get() const { return descriptor_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

kdp::Exposure Judge(const std::string& sddl) {
  const kdp::SidFromText caller(kCaller);
  const Descriptor descriptor(sddl);
  return kdp::ExposureOf(descriptor.get(), caller.get());
}

TEST(WindowsSecurity, EachRoleGrantsExactlyItsUsers) {
  const std::string me = kCaller;
  EXPECT_EQ(kdp::SecurityDescriptorText(SecurityRole::kOwnerOnly, SecuredObject::kFolder, me),
            "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + me + ")");
  EXPECT_EQ(kdp::SecurityDescriptorText(SecurityRole::kPublicRead, SecuredObject::kFile, me),
            "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + me + ")(A;;FRFX;;;BU)");
  EXPECT_EQ(kdp::SecurityDescriptorText(SecurityRole::kAdministratorsOnly, SecuredObject::kRegistryKey, me),
            "D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)");
  EXPECT_EQ(kdp::SecurityDescriptorText(SecurityRole::kOwnerOnly, SecuredObject::kMutex, me),
            "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + me + ")");
  // Every role and object makes a descriptor the system takes, that gives
  // nobody else the right to change anything.
  for (const SecurityRole role :
       {SecurityRole::kOwnerOnly, SecurityRole::kPublicRead, SecurityRole::kAdministratorsOnly}) {
    for (const SecuredObject object :
         {SecuredObject::kFile, SecuredObject::kFolder, SecuredObject::kRegistryKey, SecuredObject::kMutex}) {
      const std::string text = "O:" + me + kdp::SecurityDescriptorText(role, object, me);
      const kdp::Exposure exposure = Judge(text);
      EXPECT_FALSE(kdp::OthersMayChange(exposure)) << text;
      kdp::CreationSecurity security(role, object);
      EXPECT_EQ(security.error(), 0u) << text;
      EXPECT_NE(security.attributes(), nullptr) << text;
    }
  }
  EXPECT_NE(
      Judge("O:" + me + kdp::SecurityDescriptorText(SecurityRole::kPublicRead, SecuredObject::kFolder, me)).othersMay &
          FILE_LIST_DIRECTORY,
      0u);
}

TEST(WindowsSecurity, TrustedOnlyWhenOwnedByTheCallerOrTheSystemAndChangedByNobodyElse) {
  const std::string me = kCaller;
  const std::string other = kOtherUser;
  const std::string mine = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + me + ")";
  for (const std::string& owner : {me, std::string("SY"), std::string("BA"),
                                   std::string("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464")}) {
    EXPECT_FALSE(kdp::OthersMayChange(Judge("O:" + owner + mine))) << owner;
  }
  EXPECT_TRUE(Judge("O:" + other + mine).ownedByOther);
  EXPECT_TRUE(kdp::OthersMayChange(Judge("O:" + other + mine)));
  // A null DACL (made by hand: Wine reads "D:NO_ACCESS_CONTROL" as an empty
  // one).
  SECURITY_DESCRIPTOR open{};
  const kdp::SidFromText caller(me);
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorOwner(&open, caller.get(), FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  EXPECT_TRUE(kdp::ExposureOf(&open, caller.get()).noAccessList);
  EXPECT_TRUE(kdp::OthersMayChange(kdp::ExposureOf(&open, caller.get())));
  EXPECT_TRUE(Judge("O:SY").noAccessList);  // no DACL at all
  // Users writing, anyone appending, removing, or taking the list over.
  for (const std::string& grant :
       std::initializer_list<std::string>{"(A;;FW;;;BU)", "(A;;0x4;;;AU)", "(A;;SD;;;WD)", "(A;;WD;;;" + other + ")",
                                          "(A;;WO;;;BU)", "(A;;GW;;;WD)", "(A;;GA;;;BU)", "(A;;0x40;;;BU)"}) {
    EXPECT_TRUE(kdp::OthersMayChange(Judge("O:" + me + mine + grant))) << grant;
  }
  // Reading is no change; entries that only pass on to children do not
  // apply here; OWNER RIGHTS is the trusted owner.
  for (const char* grant : {"(A;;FRFX;;;BU)", "(A;OICIIO;FA;;;BU)", "(A;;FA;;;OW)", "(A;;0x100;;;BU)"}) {
    EXPECT_FALSE(kdp::OthersMayChange(Judge("O:" + me + mine + grant))) << grant;
  }
}

TEST(WindowsSecurity, AFolderOthersMayOnlyAddToKeepsWhatIsInIt) {
  const std::string me = kCaller;
  // C:\ProgramData: Users may add files and folders (and write attributes).
  const kdp::Exposure addOnly = Judge("O:SYD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;BU)(A;;0x116;;;BU)");
  EXPECT_TRUE(kdp::OthersMayChange(addOnly));
  EXPECT_FALSE(kdp::OthersMayChange(addOnly, kdp::kReplaceRights));
  const kdp::Exposure removeChild = Judge("O:SYD:P(A;;FA;;;SY)(A;;0x46;;;BU)");
  EXPECT_TRUE(kdp::OthersMayChange(removeChild, kdp::kReplaceRights));
}

// What the file-I/O layer creates passes its role's descriptor; kShared
// passes none and takes what the folder passes on.
TEST(WindowsSecurity, FilesAndFoldersAreCreatedWithTheirRolesDescriptor) {
  const kdtest::TempFolder dir;
  const kdtest::CreationLog log;
  ASSERT_EQ(kdp::CreateFolder(dir / "own", kdp::Access::kOwnerOnly), 0u);
  ASSERT_EQ(kdp::CreateFolderPath(dir / "pub\\lic", kdp::Access::kPublicRead), 0u);
  ASSERT_EQ(kdp::CreateFolder(dir / "shared", kdp::Access::kShared), 0u);
  const auto folders = log.Calls("CreateDirectoryA");
  ASSERT_EQ(folders.size(), 4u);
  EXPECT_EQ(folders[0].sddl, kdtest::ExpectedSddl(SecurityRole::kOwnerOnly, SecuredObject::kFolder));
  EXPECT_EQ(folders[1].name, dir / "pub");
  EXPECT_EQ(folders[1].sddl, kdtest::ExpectedSddl(SecurityRole::kPublicRead, SecuredObject::kFolder));
  EXPECT_EQ(folders[2].sddl, folders[1].sddl);
  EXPECT_EQ(folders[3].sddl, "");

  kdp::FileHandle file;
  ASSERT_EQ(kdp::OpenFile(dir / "own\\a", kdp::kOpenWrite | kdp::kOpenCreate, &file), 0u);
  file.Close();
  ASSERT_EQ(kdp::OpenFile(dir / "pub\\b", kdp::kOpenWrite | kdp::kOpenCreate, &file, kdp::Access::kPublicRead), 0u);
  file.Close();
  ASSERT_EQ(kdp::ReplaceFileAtomically(dir / "pub\\c", "x", 1, kdp::Access::kPublicRead), 0u);
  ASSERT_EQ(kdp::SaveFile(dir / "own\\d", "x", 1), 0u);
  std::vector<kdtest::SystemCall> created;
  for (const auto& call : log.Calls("CreateFileA")) {
    if (call.flags != OPEN_EXISTING) created.push_back(call);
  }
  ASSERT_EQ(created.size(), 4u);
  const std::string ownerOnly = kdtest::ExpectedSddl(SecurityRole::kOwnerOnly, SecuredObject::kFile);
  const std::string publicRead = kdtest::ExpectedSddl(SecurityRole::kPublicRead, SecuredObject::kFile);
  EXPECT_EQ(created[0].sddl, ownerOnly);
  EXPECT_EQ(created[1].sddl, publicRead);
  EXPECT_EQ(created[2].sddl, publicRead);  // the temporary file renamed into place
  EXPECT_EQ(created[3].sddl, ownerOnly);
}

}  // namespace
