// Rules for the names that become file names inside the store: device
// folders, items and containers. A valid name can never reach outside the
// folder it is joined to.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nodyx {

inline constexpr std::size_t kMaxNameBytes = 255;

// False for null, empty, "." and "..", names over kMaxNameBytes, and names
// holding '/', '\' or a control character.
bool IsValidStoreName(const char* name);
bool IsValidStoreName(std::string_view name);

// Display and system names: at most kMaxNameBytes, no '\' or '|' (they
// would break the device path text), no control characters.
bool IsValidDeviceName(std::string_view name);

// Copies text into a buffer of `size` bytes (terminator included), cutting
// at a UTF-8 character boundary when it does not fit. size must be > 0.
void CopyTruncated(std::string_view text, char* buffer, std::size_t size);

}  // namespace nodyx
