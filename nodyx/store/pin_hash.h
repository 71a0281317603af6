// Device PINs are kept only as a salted, iterated hash (PBKDF2-HMAC-SHA256).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace nodyx {

struct PinHash {
  std::vector<std::uint8_t> salt;
  std::uint32_t iterations = 0;
  std::vector<std::uint8_t> hash;
};

inline constexpr std::uint32_t kPinIterations = 60000;

// A fresh random salt; nullopt when the system has no randomness to give.
std::optional<PinHash> HashNewPin(std::string_view pin);

// Constant-time comparison of the hash of `pin` with `stored`. A stored hash
// with no salt, no hash or zero iterations never matches.
bool PinMatches(std::string_view pin, const PinHash& stored);

}  // namespace nodyx
