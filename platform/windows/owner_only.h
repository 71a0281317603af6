// Security for files and folders that must be their owner's only (they
// usually hold keys): a protected access list granting the creating user,
// SYSTEM and the Administrators group full control and nobody else anything,
// the counterpart of 0600/0700. Folders pass the list on to what is created
// in them.
#pragma once

#include "kdplatform/file_io.h"
#include "kdplatform/types.h"

namespace kdp::detail {

class CreationSecurity {
 public:
  // kShared: the security the folder passes on (no attributes).
  explicit CreationSecurity(Access access);
  ~CreationSecurity();
  CreationSecurity(const CreationSecurity&) = delete;
  CreationSecurity& operator=(const CreationSecurity&) = delete;

  // 0, or why the owner-only list could not be made.
  DWORD error() const noexcept { return error_; }
  // For CreateFileA and CreateDirectoryA; null for kShared.
  SECURITY_ATTRIBUTES* attributes() noexcept { return descriptor_ ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
  DWORD error_ = 0;
};

}  // namespace kdp::detail
