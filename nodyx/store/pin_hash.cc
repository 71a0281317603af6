#include "pin_hash.h"

#include "kdplatform/secure_zero.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <limits>

namespace nodyx {

namespace {

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
// Iteration counts above this are treated as a damaged description rather
// than spending minutes on one PIN.
constexpr std::uint32_t kMaxIterations = 10'000'000;

bool Derive(std::string_view pin, const std::vector<std::uint8_t>& salt, std::uint32_t iterations,
            std::uint8_t* out, std::size_t outSize) {
  if (pin.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return false;
  return PKCS5_PBKDF2_HMAC(pin.data(), static_cast<int>(pin.size()), salt.data(), static_cast<int>(salt.size()),
                           static_cast<int>(iterations), EVP_sha256(), static_cast<int>(outSize), out) == 1;
}

}  // namespace

std::optional<PinHash> HashNewPin(std::string_view pin) {
  PinHash result;
  result.salt.resize(kSaltBytes);
  if (RAND_bytes(result.salt.data(), static_cast<int>(result.salt.size())) != 1) return std::nullopt;
  result.iterations = kPinIterations;
  result.hash.resize(kHashBytes);
  if (!Derive(pin, result.salt, result.iterations, result.hash.data(), result.hash.size())) return std::nullopt;
  return result;
}

bool PinMatches(std::string_view pin, const PinHash& stored) {
  if (stored.salt.empty() || stored.hash.empty() || stored.hash.size() > 64) return false;
  if (stored.iterations == 0 || stored.iterations > kMaxIterations) return false;
  std::uint8_t computed[64];
  const bool derived = Derive(pin, stored.salt, stored.iterations, computed, stored.hash.size());
  const bool same = derived && CRYPTO_memcmp(computed, stored.hash.data(), stored.hash.size()) == 0;
  SecureZeroMemory(computed, sizeof computed);
  return same;
}

}  // namespace nodyx
