// Names of registry keys and values, as every system's registry checks them
// (tools2/registry.h states the rules).
#pragma once

#include <cstddef>
#include <string_view>

namespace tools2::detail {

inline constexpr std::size_t kMaxValueNameBytes = 255;
inline constexpr std::size_t kMaxKeyNameBytes = 255;

// A value name is 1..255 bytes without '\' or '/', and not "." or "..".
bool IsValidValueName(const char* name);

// A '\'-separated key path: the empty path, or parts of 1..255 bytes (no
// leading, trailing or doubled '\').
bool IsValidKeyPath(std::string_view keyPath);

}  // namespace tools2::detail
