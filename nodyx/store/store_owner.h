// Who counts as the store's owner for the admin tool's unblock: the user
// who owns the store folder, or the system's administrator (root; on
// Windows SYSTEM or a member of the Administrators group), as the platform
// layer tells (kdplatform/file_owner.h).
#pragma once

#include "kdplatform/file_owner.h"
#include "kdplatform/win32.h"

#include <string>

namespace nodyx {

// *owner: whether the calling user owns `folder` or administers the system.
// Fails as the system fails to tell (a missing folder:
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) or ERROR_PATH_NOT_FOUND).
inline HRESULT CallerOwnsFolder(const std::string& folder, bool* owner) {
  const DWORD error = kdp::CallerOwnsOrAdministers(folder, owner);
  return error != 0 ? HRESULT_FROM_WIN32(error) : S_OK;
}

}  // namespace nodyx
