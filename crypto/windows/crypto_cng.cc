// kdcrypto on Windows' CNG (bcrypt.dll).
#include "kdcrypto/crypto.h"

#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <limits>

namespace kdcrypto {

namespace {

constexpr std::size_t kMaxUlong = std::numeric_limits<ULONG>::max();

// An open algorithm provider, closed when the holder dies.
class Algorithm {
 public:
  Algorithm(LPCWSTR name, ULONG flags) {
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, name, nullptr, flags))) handle_ = nullptr;
  }
  ~Algorithm() {
    if (handle_ != nullptr) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// An AES-256 key in GCM mode; destroying it clears the key schedule.
class GcmKey {
 public:
  explicit GcmKey(Bytes key) : aes_(BCRYPT_AES_ALGORITHM, 0) {
    if (aes_.get() == nullptr || key.size() != kAesKeyBytes) return;
    auto* mode = reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM));
    const ULONG modeSize = static_cast<ULONG>(sizeof BCRYPT_CHAIN_MODE_GCM);
    if (!BCRYPT_SUCCESS(BCryptSetProperty(aes_.get(), BCRYPT_CHAINING_MODE, mode, modeSize, 0)) ||
        !BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(aes_.get(), &handle_, nullptr, 0, const_cast<PUCHAR>(key.data()),
                                                   static_cast<ULONG>(key.size()), 0))) {
      handle_ = nullptr;
    }
  }
  ~GcmKey() {
    if (handle_ != nullptr) BCryptDestroyKey(handle_);
  }
  GcmKey(const GcmKey&) = delete;
  GcmKey& operator=(const GcmKey&) = delete;
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  Algorithm aes_;
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

PUCHAR In(Bytes bytes) { return bytes.empty() ? nullptr : const_cast<PUCHAR>(bytes.data()); }

// The authenticated-cipher description of one GCM call; tag is read
// (decrypt) or written (encrypt) by CNG.
BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO GcmInfo(Bytes nonce, Bytes associated, std::uint8_t* tag) {
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
  BCRYPT_INIT_AUTH_MODE_INFO(info);
  info.pbNonce = In(nonce);
  info.cbNonce = static_cast<ULONG>(nonce.size());
  info.pbAuthData = In(associated);
  info.cbAuthData = static_cast<ULONG>(associated.size());
  info.pbTag = tag;
  info.cbTag = static_cast<ULONG>(kGcmTagBytes);
  return info;
}

bool GcmArgumentsFit(Bytes key, Bytes nonce, Bytes associated, std::size_t textSize, std::size_t tagSize) {
  return key.size() == kAesKeyBytes && nonce.size() == kGcmNonceBytes && tagSize == kGcmTagBytes &&
         associated.size() <= kMaxUlong && textSize <= kMaxUlong;
}

}  // namespace

bool RandomBytes(std::span<std::uint8_t> out) {
  while (!out.empty()) {
    const std::size_t chunk = std::min(out.size(), kMaxUlong);
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(chunk), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    out = out.subspan(chunk);
  }
  return true;
}

namespace {

bool Digest(LPCWSTR algorithm, Bytes data, std::span<std::uint8_t> digest) {
  const Algorithm sha(algorithm, 0);
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (sha.get() == nullptr || !BCRYPT_SUCCESS(BCryptCreateHash(sha.get(), &hash, nullptr, 0, nullptr, 0, 0))) {
    return false;
  }
  bool ok = true;
  for (Bytes rest = data; ok && !rest.empty();) {
    const std::size_t chunk = std::min(rest.size(), kMaxUlong);
    ok = BCRYPT_SUCCESS(BCryptHashData(hash, In(rest.first(chunk)), static_cast<ULONG>(chunk), 0));
    rest = rest.subspan(chunk);
  }
  ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  BCryptDestroyHash(hash);
  return ok;
}

}  // namespace

bool Sha256(Bytes data, std::uint8_t (&digest)[kSha256Bytes]) { return Digest(BCRYPT_SHA256_ALGORITHM, data, digest); }

bool Sha1(Bytes data, std::uint8_t (&digest)[kSha1Bytes]) { return Digest(BCRYPT_SHA1_ALGORITHM, data, digest); }

bool Pbkdf2Sha256(std::string_view password, Bytes salt, std::uint32_t iterations, std::span<std::uint8_t> key) {
  if (salt.empty() || iterations == 0 || password.size() > kMaxUlong || salt.size() > kMaxUlong || key.empty() ||
      key.size() > kMaxUlong) {
    return false;
  }
  const Algorithm hmac(BCRYPT_SHA256_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  auto* secret = reinterpret_cast<PUCHAR>(const_cast<char*>(password.data()));
  return hmac.get() != nullptr &&
         BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(
             hmac.get(), password.empty() ? nullptr : secret, static_cast<ULONG>(password.size()), In(salt),
             static_cast<ULONG>(salt.size()), iterations, key.data(), static_cast<ULONG>(key.size()), 0));
}

bool AesGcmSeal(Bytes key, Bytes nonce, Bytes associated, Bytes plain, std::span<std::uint8_t> cipher,
                std::span<std::uint8_t> tag) {
  if (!GcmArgumentsFit(key, nonce, associated, plain.size(), tag.size()) || cipher.size() != plain.size()) {
    return false;
  }
  const GcmKey aes(key);
  if (aes.get() == nullptr) return false;
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = GcmInfo(nonce, associated, tag.data());
  ULONG written = 0;
  return BCRYPT_SUCCESS(BCryptEncrypt(aes.get(), In(plain), static_cast<ULONG>(plain.size()), &info, nullptr, 0,
                                      cipher.empty() ? nullptr : cipher.data(), static_cast<ULONG>(cipher.size()),
                                      &written, 0)) &&
         written == cipher.size();
}

bool AesGcmOpen(Bytes key, Bytes nonce, Bytes associated, Bytes cipher, Bytes tag, std::span<std::uint8_t> plain) {
  if (!GcmArgumentsFit(key, nonce, associated, cipher.size(), tag.size()) || plain.size() != cipher.size()) {
    return false;
  }
  const GcmKey aes(key);
  // CNG reads the tag through a writable pointer when decrypting.
  std::uint8_t expected[kGcmTagBytes];
  std::copy(tag.begin(), tag.end(), expected);
  BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info = GcmInfo(nonce, associated, expected);
  ULONG written = 0;
  const bool ok = aes.get() != nullptr &&
                  BCRYPT_SUCCESS(BCryptDecrypt(aes.get(), In(cipher), static_cast<ULONG>(cipher.size()), &info, nullptr,
                                               0, plain.empty() ? nullptr : plain.data(),
                                               static_cast<ULONG>(plain.size()), &written, 0)) &&
                  written == plain.size();
  // Text deciphered before the tag was checked is neither trusted nor kept.
  if (!ok && !plain.empty()) SecureZeroMemory(plain.data(), plain.size());
  return ok;
}

}  // namespace kdcrypto
