#include "pin_login.h"

#include "pin_tries.h"

#include "kdcrypto/crypto.h"
#include "kdplatform/secure_zero.h"

#include <cstring>

namespace nodyx {

namespace {

constexpr std::size_t kKeyBytes = 32;
constexpr std::size_t kDigestBytes = kdcrypto::kSha256Bytes;

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

// Whether `flat` is Flatten(stored), without building it.
bool IsFlattened(const kdp::WipedBytes& flat, const PinHash& stored) {
  const std::size_t salt = stored.salt.size();
  if (flat.size() != salt + 4 + stored.hash.size()) return false;
  std::uint32_t iterations = 0;
  for (int i = 0; i < 4; ++i) iterations |= std::uint32_t{flat.data()[salt + i]} << (8 * i);
  return iterations == stored.iterations && std::memcmp(flat.data(), stored.salt.data(), salt) == 0 &&
         kdcrypto::ConstantTimeEqual(flat.data() + salt + 4, stored.hash.data(), stored.hash.size());
}

// SHA-256 of the key, then the PIN: the key has a fixed length, so no two
// (key, PIN) pairs give the same input, and without the key the digest
// tells nothing of the PIN.
bool Digest(const kdp::WipedBytes& key, std::string_view pin, std::uint8_t (&digest)[kDigestBytes]) {
  kdp::WipedBytes input = kdp::WipedBytes::ForOverwrite(key.size() + pin.size());
  std::memcpy(input.data(), key.data(), key.size());
  if (!pin.empty()) std::memcpy(input.data() + key.size(), pin.data(), pin.size());
  return kdcrypto::Sha256({input.data(), input.size()}, digest);
}

}  // namespace

bool PinLogin::HoldsLocked(std::uint64_t generation, const PinHash& stored) const {
  return generation != kNone && generation == generation_ && IsFlattened(stored_, stored);
}

std::uint64_t PinLogin::Matching(const PinHash& stored, std::string_view pin) const {
  if (pin.size() > kMaxPinBytes) return kNone;
  std::lock_guard lock(mutex_);
  if (!HoldsLocked(generation_, stored)) return kNone;
  std::uint8_t digest[kDigestBytes];
  const bool same = Digest(key_, pin, digest) && digest_.size() == kDigestBytes &&
                    kdcrypto::ConstantTimeEqual(digest, digest_.data(), kDigestBytes);
  SecureZeroMemory(digest, sizeof digest);
  return same ? generation_ : kNone;
}

std::uint64_t PinLogin::Accept(const PinHash& stored, std::string_view pin) {
  kdp::WipedBytes key(kKeyBytes);
  std::uint8_t fresh[kDigestBytes];
  const bool made = kdcrypto::RandomBytes({key.data(), key.size()}) && Digest(key, pin, fresh);
  kdp::WipedBytes digest(fresh, sizeof fresh);
  SecureZeroMemory(fresh, sizeof fresh);
  if (!made) {
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
  cleanTries_.reset();
  cleanAt_.reset();
}

std::optional<kdp::FileVersion> PinLogin::CleanTries() const {
  std::lock_guard lock(mutex_);
  return cleanTries_;
}

void PinLogin::SetCleanTries(std::optional<kdp::FileVersion> version) {
  std::lock_guard lock(mutex_);
  cleanTries_ = version;
}

PinLogin::CheckMoment PinLogin::Now() { return {std::chrono::steady_clock::now(), PinTriesWrites()}; }

bool PinLogin::CleanAt(const CheckMoment& moment) const {
  std::lock_guard lock(mutex_);
  return cleanAt_ && cleanAt_->writes == moment.writes && moment.at >= cleanAt_->at &&
         moment.at - cleanAt_->at < kCleanCheckTrusted;
}

void PinLogin::NoteClean(const CheckMoment& moment) {
  std::lock_guard lock(mutex_);
  cleanAt_ = moment;
}

}  // namespace nodyx
