// The registry's store on disk: where it lives, how key paths become folders
// and how the values of one key are kept in one file. docs/toolkit.md,
// "Registry", describes the layout for administrators.
#pragma once

#include "../registry_names.h"

#include <kdplatform/types.h>
#include <kdplatform/wiped_bytes.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tools2::detail {

using kdp::WipedBytes;

// Not in the platform's error list.
inline constexpr DWORD kErrorRegistryCorrupt = 1015u;

// Default folder of the store; KEYDEPOT_REGISTRY replaces it when set.
inline constexpr char kDefaultRegistryRoot[] = "/var/lib/keydepot/registry";
// The file holding one key's values, inside the key's folder. Key folders
// never begin with '.', so it cannot collide with a subkey.
inline constexpr char kValuesFile[] = ".values";

inline constexpr DWORD kMaxValueBytes = 1024u * 1024u;
inline constexpr std::size_t kMaxValuesFileBytes = 16u * 1024u * 1024u;

// The store folder for this open: KEYDEPOT_REGISTRY when set and not empty,
// else kDefaultRegistryRoot.
std::string RegistryRoot();

// The folder parts of a '\'-separated key path: ASCII letters lower-cased
// (keys compare ignoring case), '%' and '/' and a leading '.' written as %25,
// %2F and %2E. The empty path is the store's root (no parts). False for an
// empty part (leading, trailing or doubled '\') or a part whose folder name
// would exceed 255 bytes.
bool KeyPathToFolders(std::string_view keyPath, std::vector<std::string>* parts);

// Value names compare ignoring ASCII case.
bool SameValueName(std::string_view a, std::string_view b);

// One value inside a values file's bytes (it points into them).
struct ValueView {
  std::string_view name;
  DWORD type = 0;
  const std::uint8_t* data = nullptr;
  DWORD size = 0;
};

// The values file: "KDRG", a 32-bit version (1), then per value a 32-bit
// name length, the name, a 32-bit type, a 32-bit data length and the data;
// numbers little-endian. False for anything malformed (truncated, lengths
// past the end or over the limits).
bool ParseValues(const std::uint8_t* bytes, std::size_t size, std::vector<ValueView>* values);
WipedBytes SerializeValues(const std::vector<ValueView>& values);

}  // namespace tools2::detail
