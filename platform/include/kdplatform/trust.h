// Whether a file or folder that configures this process (the PKCS#11 module
// list, the device-type filter file) or holds its keys (the software token's
// store) can be trusted: whether any user but the caller and the system's
// administrators could have written it, or could swap it for another.
//
// Trusted means: the path itself and every folder above it belong to the
// calling user (the effective one) or to the system's administrators (root;
// on Windows SYSTEM, the Administrators group and TrustedInstaller), and no
// other user may change them. The path itself must not be writable by anyone
// else at all; a folder above it may be when it keeps others from renaming
// or removing entries they do not own (the sticky bit of /tmp), since the
// entry below it must itself be trusted. A link on the way is followed only
// when it belongs to the caller or the administrators, and what it leads to
// is checked in turn. POSIX cost: one lstat per step of the path, no open.
//
// Thread rules: any thread. The answer holds for the moment it was given:
// callers that read the file afterwards open it without following links
// (kOpenNoFollow) so that a swap cannot slip in between.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/types.h"

#include <string>

namespace kdp {

// 0 when `path` is trusted. ERROR_ACCESS_DENIED when it is not: *why (when
// given) then names the first step that is not, and why, in one line fit to
// show a user ("/var/lib/Maltrove is writable by other users", "/srv/x is
// owned by another user (uid 65534)", "/srv/y is a link owned by another
// user (uid 65534)"). A missing
// path (or folder on the way) gives ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND as QueryFile would: absence is no trust problem, and
// callers treat it as they treat a missing file.
KDPLATFORM_API DWORD CheckTrusted(const std::string& path, std::string* why = nullptr);

}  // namespace kdp
