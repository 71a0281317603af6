#include "pincipher/pin_cipher.h"

#include "machine_key.h"
#include "tools2/errors.h"

#include <kdcrypto/crypto.h>
#include <kdplatform/win32.h>

#include <algorithm>

namespace pincipher {

namespace {

constexpr std::uint8_t kVersion = 2;
constexpr std::uint8_t kTypeUnboundVersion = 1;

int Code(DWORD win32) { return WinErr2ToolsErr(win32); }

// The scope in force on this thread; null outside every scope.
thread_local const DeviceTypeScope* innermost = nullptr;

// The associated data: the version byte, the device type (little-endian),
// then the identifier text.
std::vector<std::uint8_t> AssociatedData(EAD_DeviceType type, const unsigned char* idText, std::size_t idTextLength) {
  std::vector<std::uint8_t> data(5 + idTextLength);
  data[0] = kVersion;
  const auto bits = static_cast<std::uint32_t>(type);
  for (int i = 0; i < 4; ++i) data[1 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  std::copy(idText, idText + idTextLength, data.begin() + 5);
  return data;
}

}  // namespace

DeviceTypeScope::DeviceTypeScope(EAD_DeviceType type) noexcept : outer_(innermost), type_(type) { innermost = this; }

DeviceTypeScope::~DeviceTypeScope() { innermost = outer_; }

int Encipher(EAD_DeviceType type, std::string_view idText, std::string_view pin,
             std::vector<std::uint8_t>* enciphered) {
  if (enciphered == nullptr || idText.empty() || pin.empty() || pin.size() > kMaxPinBytes ||
      pin.find('\0') != std::string_view::npos) {
    return Code(ERROR_INVALID_PARAMETER);
  }
  detail::MachineKey key;
  if (const int code = detail::LoadMachineKey(true, &key); code != 0) return code;

  std::vector<std::uint8_t> out(kOverheadBytes + pin.size());  // holds no secret once enciphered
  out[0] = kVersion;
  const std::span nonce(out.data() + 1, kNonceBytes);
  const std::span body(nonce.data() + kNonceBytes, pin.size());
  const std::span tag(body.data() + pin.size(), kTagBytes);
  if (!kdcrypto::RandomBytes(nonce)) return Code(ERROR_NOT_ENOUGH_MEMORY);
  const auto* id = reinterpret_cast<const unsigned char*>(idText.data());
  const auto* plain = reinterpret_cast<const std::uint8_t*>(pin.data());
  if (!kdcrypto::AesGcmSeal(key.bytes, nonce, AssociatedData(type, id, idText.size()), std::span(plain, pin.size()),
                            body, tag)) {
    return Code(ERROR_NOT_ENOUGH_MEMORY);
  }
  *enciphered = std::move(out);
  return 0;
}

int WINAPI Decipher(unsigned char* output, DWORD outputSize, DWORD* outputLength, const unsigned char* enciphered,
                    DWORD encipheredLength, const unsigned char* idText, DWORD idTextLength) {
  if (outputLength == nullptr || (enciphered == nullptr && encipheredLength != 0) ||
      (idText == nullptr && idTextLength != 0)) {
    return Code(ERROR_INVALID_PARAMETER);
  }
  if (innermost == nullptr) return Code(ERROR_INVALID_PARAMETER);
  if (encipheredLength > kOverheadBytes && enciphered[0] == kTypeUnboundVersion) {
    return Code(ERROR_REVISION_MISMATCH);
  }
  if (encipheredLength <= kOverheadBytes || enciphered[0] != kVersion) return Code(ERROR_INVALID_DATA);
  const DWORD pinLength = encipheredLength - static_cast<DWORD>(kOverheadBytes);
  if (pinLength > outputSize) return Code(ERROR_INSUFFICIENT_BUFFER);
  if (output == nullptr) return Code(ERROR_INVALID_PARAMETER);

  detail::MachineKey key;
  if (const int code = detail::LoadMachineKey(false, &key); code != 0) return code;

  const std::span nonce(enciphered + 1, kNonceBytes);
  const std::span body(nonce.data() + kNonceBytes, pinLength);
  const std::span tag(body.data() + pinLength, kTagBytes);
  // On failure the output holds zeros, never unchecked text.
  if (!kdcrypto::AesGcmOpen(key.bytes, nonce, AssociatedData(innermost->type_, idText, idTextLength), body, tag,
                            std::span(output, pinLength))) {
    return Code(ERROR_INVALID_DATA);
  }
  *outputLength = pinLength;
  return 0;
}

}  // namespace pincipher
