#include "kdplatform/security.h"

#include "kdplatform/win32.h"

#include <string>
#include <vector>

namespace kdp {
namespace {

// SIDs trusted besides the caller.
constexpr const char* kTrustedSids[] = {
    "S-1-5-18",                                                        // SYSTEM
    "S-1-5-32-544",                                                    // Administrators
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};
constexpr char kOwnerRightsSid[] = "S-1-3-4";

bool Same(PSID a, PSID b) { return a && b && EqualSid(a, b); }

bool IsTrusted(PSID sid, PSID caller) {
  if (sid == nullptr || !IsValidSid(sid)) return false;
  if (caller && IsValidSid(caller) && EqualSid(sid, caller)) return true;
  for (const char* text : kTrustedSids) {
    if (Same(SidFromText(text).get(), sid)) return true;
  }
  return false;
}

// The thread's token when it impersonates, else the process's.
HANDLE OpenCallerToken() {
  HANDLE token = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return token;
  return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) ? token : nullptr;
}

}  // namespace

std::string SecurityDescriptorText(SecurityRole role, SecuredObject object, const std::string& creatorSid) {
  const char* inherit = object == SecuredObject::kFolder ? "OICI" : object == SecuredObject::kRegistryKey ? "CI" : "";
  const bool isFile = object == SecuredObject::kFile || object == SecuredObject::kFolder;
  // Full control, and reading (with listing and traversing a folder).
  const char* all = isFile ? "FA" : object == SecuredObject::kRegistryKey ? "KA" : "GA";
  const char* read = isFile ? "FRFX" : object == SecuredObject::kRegistryKey ? "KR" : "GR";
  std::string text = "D:P";
  const auto grant = [&](const char* rights, const std::string& sid) {
    text += std::string("(A;") + inherit + ';' + rights + ";;;" + sid + ')';
  };
  grant(all, "SY");
  grant(all, "BA");
  if (role != SecurityRole::kAdministratorsOnly) grant(all, creatorSid);
  if (role == SecurityRole::kPublicRead) grant(read, "BU");
  return text;
}

std::string CallerSidText(DWORD* error) {
  const HANDLE token = OpenCallerToken();
  if (token == nullptr) {
    if (error) *error = GetLastError();
    return {};
  }
  std::string sid;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  char* text = nullptr;
  if (size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    sid = text;
    LocalFree(text);
  } else if (error) {
    *error = GetLastError() != 0 ? GetLastError() : ERROR_INVALID_SID;
  }
  CloseHandle(token);
  return sid;
}

SidFromText::SidFromText(const std::string& text) {
  if (!ConvertStringSidToSidA(text.c_str(), &sid_)) sid_ = nullptr;
}

SidFromText::~SidFromText() {
  if (sid_) LocalFree(sid_);
}

CreationSecurity::CreationSecurity(SecurityRole role, SecuredObject object) {
  std::string creator;
  if (role != SecurityRole::kAdministratorsOnly) {
    error_ = ERROR_INVALID_SID;
    creator = CallerSidText(&error_);
    if (creator.empty()) return;
    error_ = 0;
  }
  const std::string text = SecurityDescriptorText(role, object, creator);
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
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

Exposure ExposureOf(PSECURITY_DESCRIPTOR descriptor, PSID caller) {
  Exposure exposure;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  exposure.ownedByOther = !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !IsTrusted(owner, caller);
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || dacl == nullptr) {
    exposure.noAccessList = true;
    return exposure;
  }
  const SidFromText ownerRights(kOwnerRightsSid);
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;
    // Both kinds start with the header, the mask and the SID; a callback
    // entry's condition is not judged: it may grant.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    const PSID sid = &allowed->SidStart;
    if (IsTrusted(sid, caller) || (Same(ownerRights.get(), sid) && !exposure.ownedByOther)) continue;
    ACCESS_MASK mask = allowed->Mask;
    MapGenericMask(&mask, &mapping);
    exposure.othersMay |= mask;
  }
  return exposure;
}

}  // namespace kdp
