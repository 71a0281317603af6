// Where the default device-type filter file lives.
#pragma once

#include "kdplatform/win32.h"

#include <string>

namespace keydepot::detail {

inline constexpr const char kFilterFileName[] = "device_type_filter.xml";

// The common application-data folder followed by "Maltrove" and a separator;
// when that folder is not available, the folder of the process's executable
// followed by a separator. Returns 0, or the Win32 error of the failed
// executable lookup with *folder unchanged. The folder is neither created nor
// tested.
DWORD GetSharedDataFolder(std::string& folder);

// GetSharedDataFolder followed by kFilterFileName; same results.
DWORD GetFilterFilePath(std::string& path);

}  // namespace keydepot::detail
