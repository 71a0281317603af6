// Whether the calling user may act as the owner of a file or folder: the
// user who owns it, or the system's administrator (root; on Windows SYSTEM
// or a member of the Administrators group). One file per system.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/types.h"

#include <string>

namespace kdp {

// *owner: whether the calling user owns `path` (links followed) or
// administers the system. 0, or the Win32 code of what the system could not
// tell (a missing path: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND).
KDPLATFORM_API DWORD CallerOwnsOrAdministers(const std::string& path, bool* owner);

}  // namespace kdp
