// Device PINs are kept only as a salted, iterated hash (PBKDF2-HMAC-SHA256).
#pragma once

#include <cstddef>
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

// The one shape a stored PIN hash may have. Descriptions hold nothing else:
// a shorter hash would let wrong PINs pass by chance (a 1-byte hash lets one
// PIN in 256 through), and an iteration count outside the range either
// makes guessing cheap or spends minutes on one PIN.
inline constexpr std::size_t kPinSaltBytes = 16;
inline constexpr std::size_t kPinHashBytes = 32;
inline constexpr std::uint32_t kMinPinIterations = 1000;
inline constexpr std::uint32_t kMaxPinIterations = 10'000'000;
// What the tools write.
inline constexpr std::uint32_t kPinIterations = 60000;

// Longest PIN that can be right; a longer one is wrong without a look.
inline constexpr std::size_t kMaxPinBytes = 1024;

// Null when `stored` has the shape above, else why not, for people.
const char* PinHashProblem(const PinHash& stored);

// A fresh random salt; nullopt when the system has no randomness to give or
// `iterations` is outside the range above. Only tests pass fewer iterations
// than kPinIterations, to keep each check cheap.
std::optional<PinHash> HashNewPin(std::string_view pin, std::uint32_t iterations = kPinIterations);

// Constant-time comparison of the hash of `pin` with `stored`. A stored hash
// of another shape, and a PIN longer than kMaxPinBytes, never match. This is
// the bare comparison: a device's PIN is checked through CheckPinCounted
// (pin_tries.h), which counts the try first.
bool PinMatches(std::string_view pin, const PinHash& stored);

}  // namespace nodyx
