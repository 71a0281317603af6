// Constants of full path building, set when the library is loaded.
#pragma once

#include <string>

namespace keydepot {

// The containers folder appended to an application-data folder or joined to a
// removable drive: separator, "Maltrove", separator, "Containers" (no trailing
// separator). The separator is the platform's (KDP_PATH_SEPARATOR).
const std::string& ContainersFolder();
// The container used when no other is known: "sgn_cont".
const std::string& DefaultContainerName();

}  // namespace keydepot
