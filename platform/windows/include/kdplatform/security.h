// Who may use what the project creates on Windows, and how it judges what
// others created. One builder makes every security descriptor the project
// creates files, folders, registry keys and mutexes with, by role; creating
// calls that make nothing new (an open of an existing file) pass none.
//
// Thread rules: any thread. The caller is the thread's effective user: the
// impersonated client when the thread impersonates, else the process's user.
#pragma once

#include "kdplatform/types.h"

#include <sddl.h>

#include <string>

namespace kdp {

enum class SecurityRole {
  // SYSTEM, Administrators and the creating user full control, nobody else
  // anything; protected from what the parent would pass on. Keys, PINs,
  // stores, and the registry's mutex.
  kOwnerOnly,
  // The same, and Users read (and list): shared configuration and the
  // folders that hold it.
  kPublicRead,
  // SYSTEM and Administrators only, protected: machine-wide secrets under
  // HKEY_LOCAL_MACHINE (the PIN cipher's key, enciphered PINs).
  kAdministratorsOnly,
};

enum class SecuredObject { kFile, kFolder, kRegistryKey, kMutex };

// The descriptor of `role` for `object` as SDDL text: a protected DACL
// ("D:P") and no owner, so the owner is the creator's default. Folders pass
// their entries on to files and folders made in them (OICI), keys to
// subkeys (CI). `creatorSid` ("S-1-5-21-...") is unused for
// kAdministratorsOnly.
std::string SecurityDescriptorText(SecurityRole role, SecuredObject object, const std::string& creatorSid);

// The caller's SID as text; empty (and *error set, when given) when the
// thread's token cannot be read.
std::string CallerSidText(DWORD* error = nullptr);

// A SID made from its text ("S-1-5-18"), freed when it goes; null when the
// text is no SID.
class SidFromText {
 public:
  explicit SidFromText(const std::string& text);
  ~SidFromText();
  SidFromText(const SidFromText&) = delete;
  SidFromText& operator=(const SidFromText&) = delete;
  PSID get() const noexcept { return sid_; }

 private:
  PSID sid_ = nullptr;
};

// Security attributes for one creating call (CreateFileA, CreateDirectoryA,
// RegCreateKeyExA, CreateMutexA) with the descriptor of `role` for the
// caller. Not copyable; lives as long as the call needs it.
class CreationSecurity {
 public:
  CreationSecurity(SecurityRole role, SecuredObject object);
  ~CreationSecurity();
  CreationSecurity(const CreationSecurity&) = delete;
  CreationSecurity& operator=(const CreationSecurity&) = delete;

  // 0, or why the descriptor could not be made (then attributes() is null
  // and the caller must not create anything).
  DWORD error() const noexcept { return error_; }
  SECURITY_ATTRIBUTES* attributes() noexcept { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
  DWORD error_ = 0;
};

// What a file's or folder's descriptor lets users other than the trusted
// ones do. Trusted: the caller, SYSTEM, Administrators and TrustedInstaller
// (and OWNER RIGHTS when the owner is one of them).
struct Exposure {
  bool ownedByOther = false;  // the owner is not trusted (or is missing)
  bool noAccessList = false;  // a null DACL: everyone may do everything
  // The rights allow entries give anyone else (generic rights mapped to
  // file rights; entries that only pass on to children are left out). Deny
  // entries are not subtracted: the answer errs on the side of exposure.
  ACCESS_MASK othersMay = 0;
};
Exposure ExposureOf(PSECURITY_DESCRIPTOR descriptor, PSID caller);

// Rights by which others could change what a file holds or what a folder
// lists, replace or remove it, or take it over.
inline constexpr ACCESS_MASK kChangeRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
// Those but adding entries to a folder: a folder others may only add to
// still keeps them from renaming or removing what they do not own, as the
// sticky bit does (C:\ and C:\ProgramData are such folders).
inline constexpr ACCESS_MASK kReplaceRights = DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;

// Whether others may do any of `rights` to the object, or own it.
inline bool OthersMayChange(const Exposure& exposure, ACCESS_MASK rights = kChangeRights) {
  return exposure.ownedByOther || exposure.noAccessList || (exposure.othersMay & rights) != 0;
}

}  // namespace kdp
