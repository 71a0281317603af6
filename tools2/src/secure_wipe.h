// Overwrites memory that held text or bytes which may be secret (PINs, key
// bytes) in a way the compiler cannot drop as a dead store.
#pragma once

#include <cstddef>
#include <cstring>

namespace tools2_detail {

inline void SecureWipe(void* p, std::size_t n) noexcept {
  if (p != nullptr && n != 0) {
    explicit_bzero(p, n);
  }
}

}  // namespace tools2_detail
