#include "pin_hash.h"

#include "kdcrypto/crypto.h"
#include "kdplatform/secure_zero.h"

namespace nodyx {

const char* PinHashProblem(const PinHash& stored) {
  if (stored.salt.size() != kPinSaltBytes) return "the PIN's salt must be 16 bytes";
  if (stored.hash.size() != kPinHashBytes) return "the PIN's hash must be 32 bytes";
  if (stored.iterations < kMinPinIterations || stored.iterations > kMaxPinIterations) {
    return "the PIN's iteration count must be from 1000 to 10000000";
  }
  return nullptr;
}

std::optional<PinHash> HashNewPin(std::string_view pin, std::uint32_t iterations) {
  if (iterations < kMinPinIterations || iterations > kMaxPinIterations) return std::nullopt;
  PinHash result;
  result.salt.resize(kPinSaltBytes);
  if (!kdcrypto::RandomBytes(result.salt)) return std::nullopt;
  result.iterations = iterations;
  result.hash.resize(kPinHashBytes);
  if (!kdcrypto::Pbkdf2Sha256(pin, result.salt, result.iterations, result.hash)) return std::nullopt;
  return result;
}

bool PinMatches(std::string_view pin, const PinHash& stored) {
  if (PinHashProblem(stored) != nullptr || pin.size() > kMaxPinBytes) return false;
  std::uint8_t computed[kPinHashBytes];
  const bool derived = kdcrypto::Pbkdf2Sha256(pin, stored.salt, stored.iterations, computed);
  const bool same = derived && kdcrypto::ConstantTimeEqual(computed, stored.hash.data(), sizeof computed);
  SecureZeroMemory(computed, sizeof computed);
  return same;
}

}  // namespace nodyx
