#include "kdplatform/file_owner.h"
#include "kdplatform/win32.h"

#include <aclapi.h>

#include <vector>

namespace kdp {

namespace {

// Whether the process's user is `owner`, or the process runs as SYSTEM or
// with the Administrators group in its token.
bool CallerIs(PSID owner) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  const bool known = size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  CloseHandle(token);
  if (!known) return false;
  PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (EqualSid(user, owner) || IsWellKnownSid(user, WinLocalSystemSid)) return true;
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof administrators;
  BOOL member = FALSE;
  return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) &&
         CheckTokenMembership(nullptr, administrators, &member) && member;
}

}  // namespace

DWORD CallerOwnsOrAdministers(const std::string& path, bool* owner) {
  *owner = false;
  PSID folderOwner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &folderOwner,
                                            nullptr, nullptr, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  *owner = folderOwner != nullptr && CallerIs(folderOwner);
  LocalFree(descriptor);
  return 0;
}

}  // namespace kdp
