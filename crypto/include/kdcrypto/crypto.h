// kdcrypto: the few cryptographic primitives the component and the tools
// use, from the system's own library: OpenSSL's libcrypto on Linux
// (crypto/openssl/), CNG on Windows (crypto/windows/), one file per system
// chosen by CMake. Both give the same bytes for the same inputs, so PIN
// hashes, enciphered PINs and token identifiers made on one system are read
// on the other (tests/crypto holds the known answers both must give).
//
// Every call returns false when the system cannot do it (no randomness,
// lengths beyond what it takes); outputs are then unspecified unless said.
// Thread rules: any thread; nothing is kept between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kdcrypto {

using Bytes = std::span<const std::uint8_t>;

inline constexpr std::size_t kSha256Bytes = 32;
inline constexpr std::size_t kSha1Bytes = 20;
inline constexpr std::size_t kAesKeyBytes = 32;
inline constexpr std::size_t kGcmNonceBytes = 12;
inline constexpr std::size_t kGcmTagBytes = 16;

// Fills out with bytes from the system's cryptographic random source.
bool RandomBytes(std::span<std::uint8_t> out);

bool Sha256(Bytes data, std::uint8_t (&digest)[kSha256Bytes]);
// For identifiers that other programs derive with SHA-1 (a PKCS#11 object's
// CKA_ID from its key), never for security.
bool Sha1(Bytes data, std::uint8_t (&digest)[kSha1Bytes]);

// PBKDF2 with HMAC-SHA-256, filling all of key. salt must not be empty,
// iterations not zero.
bool Pbkdf2Sha256(std::string_view password, Bytes salt, std::uint32_t iterations, std::span<std::uint8_t> key);

// AES-256-GCM with a 32-byte key, a 12-byte nonce and a 16-byte tag.
// cipher (or plain) has the size of the text it receives.
bool AesGcmSeal(Bytes key, Bytes nonce, Bytes associated, Bytes plain, std::span<std::uint8_t> cipher,
                std::span<std::uint8_t> tag);
// False when the tag does not match (another key, nonce, associated data or
// changed bytes); plain then holds zeros, never unchecked text.
bool AesGcmOpen(Bytes key, Bytes nonce, Bytes associated, Bytes cipher, Bytes tag, std::span<std::uint8_t> plain);

// Compares in a time that depends on size only, not on where a and b differ.
inline bool ConstantTimeEqual(const void* a, const void* b, std::size_t size) {
  const volatile std::uint8_t* x = static_cast<const std::uint8_t*>(a);
  const volatile std::uint8_t* y = static_cast<const std::uint8_t*>(b);
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < size; ++i) difference = static_cast<std::uint8_t>(difference | (x[i] ^ y[i]));
  return difference == 0;
}

}  // namespace kdcrypto
