// The component's files in the shared data folder ("Maltrove" in the common
// application-data folder), which every user's processes read: the PKCS#11
// module list (pkcs11/module_list.h) and the default device-type filter
// (type_filter.h), whose default path the library names the same way.
#pragma once

#include <string>
#include <string_view>

namespace nodyx {

inline constexpr char kModuleConfigFileName[] = "nodyx-pkcs11.conf";
inline constexpr char kTypeFilterFileName[] = "device_type_filter.xml";

// The native path of `name` in the shared data folder; empty when the
// folder is not known.
std::string SharedDataFile(std::string_view name);

// Whether kdp::CheckTrusted refuses to vouch for `path`: another user could
// have written or swapped it (or its owner cannot be checked). *why then
// says how, in words for people. A missing path is no such problem: its
// readers treat it as missing.
bool IsUntrusted(const std::string& path, std::string* why);

}  // namespace nodyx
