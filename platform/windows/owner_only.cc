#include "owner_only.h"

#include <sddl.h>

#include <string>

namespace kdp::detail {
namespace {

// The calling user's SID as text ("S-1-5-21-..."); empty when unknown.
std::string CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::string sid;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  char* text = nullptr;
  if (size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    sid = text;
    LocalFree(text);
  }
  CloseHandle(token);
  return sid;
}

}  // namespace

CreationSecurity::CreationSecurity(Access access) {
  if (access != Access::kOwnerOnly) return;
  const std::string user = CurrentUserSid();
  if (user.empty()) {
    error_ = ERROR_INVALID_SECURITY_DESCR;
    return;
  }
  // P: the folder's inherited entries do not apply; OICI: a folder passes the
  // entries on to the files and folders made in it.
  const std::string sddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + ")";
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
    error_ = GetLastError();
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

CreationSecurity::~CreationSecurity() {
  if (descriptor_) LocalFree(descriptor_);
}

}  // namespace kdp::detail
