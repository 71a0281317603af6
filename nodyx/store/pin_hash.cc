#include "pin_hash.h"

#include "kdcrypto/crypto.h"
#include "kdplatform/secure_zero.h"

namespace nodyx {

namespace {

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
// Iteration counts above this are treated as a damaged description rather
// than spending minutes on one PIN.
constexpr std::uint32_t kMaxIterations = 10'000'000;

}  // namespace

std::optional<PinHash> HashNewPin(std::string_view pin) {
  PinHash result;
  result.salt.resize(kSaltBytes);
  if (!kdcrypto::RandomBytes(result.salt)) return std::nullopt;
  result.iterations = kPinIterations;
  result.hash.resize(kHashBytes);
  if (!kdcrypto::Pbkdf2Sha256(pin, result.salt, result.iterations, result.hash)) return std::nullopt;
  return result;
}

bool PinMatches(std::string_view pin, const PinHash& stored) {
  if (stored.salt.empty() || stored.hash.empty() || stored.hash.size() > 64) return false;
  if (stored.iterations == 0 || stored.iterations > kMaxIterations) return false;
  std::uint8_t computed[64];
  const bool derived =
      kdcrypto::Pbkdf2Sha256(pin, stored.salt, stored.iterations, std::span(computed, stored.hash.size()));
  const bool same = derived && kdcrypto::ConstantTimeEqual(computed, stored.hash.data(), stored.hash.size());
  SecureZeroMemory(computed, sizeof computed);
  return same;
}

}  // namespace nodyx
