#include "pincipher/pin_cipher.h"

#include "machine_key.h"
#include "tools2/errors.h"

#include <kdplatform/win32.h>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <memory>

namespace pincipher {

namespace {

constexpr std::uint8_t kVersion = 1;

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }  // also clears the key schedule
};
using Ctx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

int Code(DWORD win32) { return WinErr2ToolsErr(win32); }

// Feeds the associated data: the version byte, then the identifier text.
bool AddAssociatedData(EVP_CIPHER_CTX* ctx, bool encrypt, const unsigned char* idText, std::size_t idTextLength) {
  int ignored = 0;
  const auto update = encrypt ? EVP_EncryptUpdate : EVP_DecryptUpdate;
  return update(ctx, nullptr, &ignored, &kVersion, 1) == 1 &&
         update(ctx, nullptr, &ignored, idText, static_cast<int>(idTextLength)) == 1;
}

}  // namespace

int Encipher(std::string_view idText, std::string_view pin, std::vector<std::uint8_t>* enciphered) {
  if (enciphered == nullptr || idText.empty() || pin.empty() || pin.size() > kMaxPinBytes ||
      pin.find('\0') != std::string_view::npos) {
    return Code(ERROR_INVALID_PARAMETER);
  }
  detail::MachineKey key;
  if (const int code = detail::LoadMachineKey(true, &key); code != 0) return code;

  std::vector<std::uint8_t> out(kOverheadBytes + pin.size());  // holds no secret once enciphered
  out[0] = kVersion;
  std::uint8_t* nonce = out.data() + 1;
  std::uint8_t* body = nonce + kNonceBytes;
  std::uint8_t* tag = body + pin.size();
  if (RAND_bytes(nonce, static_cast<int>(kNonceBytes)) != 1) return Code(ERROR_NOT_ENOUGH_MEMORY);

  Ctx ctx(EVP_CIPHER_CTX_new());
  int length = 0, finalLength = 0;
  const bool ok = ctx && EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.bytes, nonce) == 1 &&
                  AddAssociatedData(ctx.get(), true, reinterpret_cast<const unsigned char*>(idText.data()),
                                    idText.size()) &&
                  EVP_EncryptUpdate(ctx.get(), body, &length, reinterpret_cast<const unsigned char*>(pin.data()),
                                    static_cast<int>(pin.size())) == 1 &&
                  EVP_EncryptFinal_ex(ctx.get(), body + length, &finalLength) == 1 &&
                  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagBytes), tag) == 1;
  if (!ok) return Code(ERROR_NOT_ENOUGH_MEMORY);
  *enciphered = std::move(out);
  return 0;
}

int WINAPI Decipher(unsigned char* output, DWORD outputSize, DWORD* outputLength, const unsigned char* enciphered,
                    DWORD encipheredLength, const unsigned char* idText, DWORD idTextLength) {
  if (outputLength == nullptr || (enciphered == nullptr && encipheredLength != 0) ||
      (idText == nullptr && idTextLength != 0)) {
    return Code(ERROR_INVALID_PARAMETER);
  }
  if (encipheredLength <= kOverheadBytes || enciphered[0] != kVersion) return Code(ERROR_INVALID_DATA);
  const DWORD pinLength = encipheredLength - static_cast<DWORD>(kOverheadBytes);
  if (pinLength > outputSize) return Code(ERROR_INSUFFICIENT_BUFFER);
  if (output == nullptr) return Code(ERROR_INVALID_PARAMETER);

  detail::MachineKey key;
  if (const int code = detail::LoadMachineKey(false, &key); code != 0) return code;

  const unsigned char* nonce = enciphered + 1;
  const unsigned char* body = nonce + kNonceBytes;
  // The tag is handed over as OpenSSL wants a writable pointer; it is only read.
  unsigned char tag[kTagBytes];
  std::copy(body + pinLength, body + pinLength + kTagBytes, tag);

  Ctx ctx(EVP_CIPHER_CTX_new());
  int length = 0, finalLength = 0;
  const bool ok = ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.bytes, nonce) == 1 &&
                  AddAssociatedData(ctx.get(), false, idText, idTextLength) &&
                  EVP_DecryptUpdate(ctx.get(), output, &length, body, static_cast<int>(pinLength)) == 1 &&
                  EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagBytes), tag) == 1 &&
                  EVP_DecryptFinal_ex(ctx.get(), output + length, &finalLength) == 1;
  if (!ok) {
    // Bytes deciphered before the tag was checked are not to be trusted or kept.
    SecureZeroMemory(output, pinLength);
    return Code(ERROR_INVALID_DATA);
  }
  *outputLength = pinLength;
  return 0;
}

}  // namespace pincipher
