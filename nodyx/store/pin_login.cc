#include "pin_login.h"

#include "kdcrypto/crypto.h"

#include <cstring>

namespace nodyx {

namespace {

constexpr std::size_t kKeyBytes = 32;
constexpr std::size_t kDigestBytes = 32;

// One byte string for a stored hash, so that any change of it shows.
kdp::WipedBytes Flatten(const PinHash& stored) {
  kdp::WipedBytes bytes;
  bytes.Append(stored.salt.data(), stored.salt.size());
  std::uint8_t iterations[4];
  for (int i = 0; i < 4; ++i) iterations[i] = static_cast<std::uint8_t>(stored.iterations >> (8 * i));
  bytes.Append(iterations, sizeof iterations);
  bytes.Append(stored.hash.data(), stored.hash.size());
  return bytes;
}

bool SameBytes(const kdp::WipedBytes& a, const kdp::WipedBytes& b) {
  return a.size() == b.size() && kdcrypto::ConstantTimeEqual(a.data(), b.data(), a.size());
}

bool Digest(const kdp::WipedBytes& key, std::string_view pin, kdp::WipedBytes* digest) {
  *digest = kdp::WipedBytes(kDigestBytes);
  return kdcrypto::Pbkdf2Sha256(pin, {key.data(), key.size()}, 1, {digest->data(), digest->size()});
}

}  // namespace

bool PinLogin::HoldsLocked(std::uint64_t generation, const PinHash& stored) const {
  return generation != kNone && generation == generation_ && SameBytes(stored_, Flatten(stored));
}

std::uint64_t PinLogin::Matching(const PinHash& stored, std::string_view pin) const {
  if (pin.size() > kMaxPinBytes) return kNone;
  std::lock_guard lock(mutex_);
  if (!HoldsLocked(generation_, stored)) return kNone;
  kdp::WipedBytes digest;
  if (!Digest(key_, pin, &digest) || !SameBytes(digest, digest_)) return kNone;
  return generation_;
}

std::uint64_t PinLogin::Accept(const PinHash& stored, std::string_view pin) {
  kdp::WipedBytes key(kKeyBytes);
  kdp::WipedBytes digest;
  if (!kdcrypto::RandomBytes({key.data(), key.size()}) || !Digest(key, pin, &digest)) {
    End();
    return kNone;
  }
  kdp::WipedBytes flat = Flatten(stored);
  std::lock_guard lock(mutex_);
  key_ = std::move(key);
  digest_ = std::move(digest);
  stored_ = std::move(flat);
  generation_ = ++last_;
  return generation_;
}

bool PinLogin::Holds(std::uint64_t generation, const PinHash& stored) const {
  std::lock_guard lock(mutex_);
  return HoldsLocked(generation, stored);
}

void PinLogin::End() {
  std::lock_guard lock(mutex_);
  generation_ = kNone;
  key_.Clear();
  digest_.Clear();
  stored_.Clear();
}

}  // namespace nodyx
