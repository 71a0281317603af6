// kdcrypto on OpenSSL's libcrypto.
#include "kdcrypto/crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace kdcrypto {

namespace {

constexpr std::size_t kMaxInt = static_cast<std::size_t>(std::numeric_limits<int>::max());

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }  // also clears the key schedule
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

bool GcmArgumentsFit(Bytes key, Bytes nonce, Bytes associated, std::size_t textSize, std::size_t tagSize) {
  return key.size() == kAesKeyBytes && nonce.size() == kGcmNonceBytes && tagSize == kGcmTagBytes &&
         associated.size() <= kMaxInt && textSize <= kMaxInt;
}

// Feeds the associated data (skipped when empty: OpenSSL wants none then).
bool AddAssociated(EVP_CIPHER_CTX* ctx, bool encrypt, Bytes associated) {
  if (associated.empty()) return true;
  int ignored = 0;
  const int size = static_cast<int>(associated.size());
  return encrypt ? EVP_EncryptUpdate(ctx, nullptr, &ignored, associated.data(), size) == 1
                 : EVP_DecryptUpdate(ctx, nullptr, &ignored, associated.data(), size) == 1;
}

}  // namespace

bool RandomBytes(std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const std::size_t chunk = std::min(out.size(), kMaxInt);
    if (RAND_bytes(out.data(), static_cast<int>(chunk)) != 1) return false;
    out = out.subspan(chunk);
  }
  return true;
}

bool Sha256(Bytes data, std::uint8_t (&digest)[kSha256Bytes]) {
  unsigned int length = 0;
  return EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) == 1 && length == kSha256Bytes;
}

bool Sha1(Bytes data, std::uint8_t (&digest)[kSha1Bytes]) {
  unsigned int length = 0;
  return EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha1(), nullptr) == 1 && length == kSha1Bytes;
}

bool Pbkdf2Sha256(std::string_view password, Bytes salt, std::uint32_t iterations, std::span<std::uint8_t> key) {
  if (salt.empty() || iterations == 0 || iterations > kMaxInt || password.size() > kMaxInt || salt.size() > kMaxInt ||
      key.empty() || key.size() > kMaxInt) {
    return false;
  }
  return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                           static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                           static_cast<int>(key.size()), key.data()) == 1;
}

bool AesGcmSeal(Bytes key, Bytes nonce, Bytes associated, Bytes plain, std::span<std::uint8_t> cipher,
                std::span<std::uint8_t> tag) {
  if (!GcmArgumentsFit(key, nonce, associated, plain.size(), tag.size()) || cipher.size() != plain.size()) {
    return false;
  }
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  int length = 0, finalLength = 0;
  return ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce.data()) == 1 &&
         AddAssociated(ctx.get(), true, associated) &&
         EVP_EncryptUpdate(ctx.get(), cipher.data(), &length, plain.data(), static_cast<int>(plain.size())) == 1 &&
         EVP_EncryptFinal_ex(ctx.get(), cipher.data() + length, &finalLength) == 1 &&
         EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(tag.size()), tag.data()) == 1;
}

bool AesGcmOpen(Bytes key, Bytes nonce, Bytes associated, Bytes cipher, Bytes tag, std::span<std::uint8_t> plain) {
  if (!GcmArgumentsFit(key, nonce, associated, cipher.size(), tag.size()) || plain.size() != cipher.size()) {
    return false;
  }
  // OpenSSL takes the tag through a writable pointer; it only reads it.
  std::uint8_t expected[kGcmTagBytes];
  std::copy(tag.begin(), tag.end(), expected);
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  int length = 0, finalLength = 0;
  const bool ok =
      ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce.data()) == 1 &&
      AddAssociated(ctx.get(), false, associated) &&
      EVP_DecryptUpdate(ctx.get(), plain.data(), &length, cipher.data(), static_cast<int>(cipher.size())) == 1 &&
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kGcmTagBytes), expected) == 1 &&
      EVP_DecryptFinal_ex(ctx.get(), plain.data() + length, &finalLength) == 1;
  // Text deciphered before the tag was checked is neither trusted nor kept.
  if (!ok) OPENSSL_cleanse(plain.data(), plain.size());
  return ok;
}

}  // namespace kdcrypto
