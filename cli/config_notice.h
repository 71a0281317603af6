// What the library and its component leave unread on this machine, told on
// standard error: a device-type filter file or PKCS#11 module list that
// another user could have written is ignored as if it were missing, and a
// module path that the list refuses is not loaded. The library reports
// neither, so the tool asks the same questions (nodyx/shared_files.h,
// nodyx/pkcs11/module_list.h) about the files its commands use.
#pragma once

#include <string>

namespace kdcli {

// Warns about the device-type filter file `filterPath` (empty: the shared
// one) and the PKCS#11 module list. Once per process: the first session's
// filter is the one the library keeps.
void WarnAboutIgnoredConfiguration(const std::string& filterPath);

// Tells, when a listing found no device, what may stand in the way: a device
// store that is missing, not a folder or not trusted (named with where its
// path came from), and PKCS#11 modules the list names that do not exist.
// Nothing when all of them look usable: then there are no devices.
void ExplainNoDevices();

}  // namespace kdcli
