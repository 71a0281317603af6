// The machine key of the PIN cipher, kept as a registry value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pincipher::detail {

inline constexpr std::size_t kKeyBytes = 32;

// Key bytes, wiped when the object dies.
struct MachineKey {
  MachineKey() = default;
  MachineKey(const MachineKey&) = delete;
  MachineKey& operator=(const MachineKey&) = delete;
  ~MachineKey();
  std::uint8_t bytes[kKeyBytes] = {};
};

// Reads the machine key. With create, a missing key is made first (random
// bytes, added so that of two processes making it at once both end up with
// the one that was stored). Returns a toolkit code.
int LoadMachineKey(bool create, MachineKey* key);

}  // namespace pincipher::detail
