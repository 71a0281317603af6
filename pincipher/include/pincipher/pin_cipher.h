// The one cipher for saved device PINs: what the saving tools write into a
// device's "PIN" registry value and what keydepot's GetDevicePIN hands back
// through the decipher callback. docs/pins.md describes it in full.
//
// AES-256-GCM with a 32-byte machine key kept in the registry (value
// "MachineKey" of "SOFTWARE\Maltrove\MTRVShared\PinCipher", made on the first
// Encipher, readable only by the store's owner). The enciphered form is
//   version (1 byte, 2) | nonce (12 random bytes) | ciphertext | tag (16)
// with the version byte, the device's type (4 bytes, little-endian) and its
// identifier text as associated data, so a value copied to another device's
// key, or read for a device of another type that reports the same
// identifier text, does not decipher. Values of version 1 (bound to the
// identifier text alone) are refused: they must be saved again.
//
// Every function returns a toolkit code (0 = success; tools2/errors.h):
//   WinErr2ToolsErr(ERROR_INVALID_PARAMETER)   bad arguments, a PIN that is
//                                              empty, too long or holds a zero
//   WinErr2ToolsErr(ERROR_INVALID_DATA)        not this format, wrong device,
//                                              changed bytes or another key
//   WinErr2ToolsErr(ERROR_INSUFFICIENT_BUFFER) the PIN does not fit the output
//   registry failures as WinErr2ToolsErr of their Win32 code (e.g.
//   TOOERR_FILE_MISSING when no machine key exists yet, the code of
//   ERROR_ACCESS_DENIED for a user who may not read the store).
// Thread rule: any thread; the machine key is read anew on every call and
// wiped afterwards.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/ad/saved_pin.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace pincipher {

inline constexpr std::size_t kNonceBytes = 12;
inline constexpr std::size_t kTagBytes = 16;
inline constexpr std::size_t kOverheadBytes = 1 + kNonceBytes + kTagBytes;
// keydepot reads at most 261 bytes of an enciphered PIN.
inline constexpr std::size_t kMaxEncipheredBytes = 261;
inline constexpr std::size_t kMaxPinBytes = kMaxEncipheredBytes - kOverheadBytes;

inline constexpr char kMachineKeyPath[] = "SOFTWARE\\Maltrove\\MTRVShared\\PinCipher";
inline constexpr char kMachineKeyValue[] = "MachineKey";

// Enciphers pin for the device of `type` whose identifier text is idText
// (exactly the text the device reports), making the machine key when there
// is none. *enciphered is replaced only on success.
int Encipher(EAD_DeviceType type, std::string_view idText, std::string_view pin, std::vector<std::uint8_t>* enciphered);

// The device type that Decipher checks a value against, for the calls this
// thread makes while the scope lives. keydepot hands the decipher function
// only the device's identifier text, so a caller of GetDevicePIN names the
// type of the device it asked for here. Scopes nest; the innermost counts.
class DeviceTypeScope {
 public:
  explicit DeviceTypeScope(EAD_DeviceType type) noexcept;
  ~DeviceTypeScope();
  DeviceTypeScope(const DeviceTypeScope&) = delete;
  DeviceTypeScope& operator=(const DeviceTypeScope&) = delete;

 private:
  const DeviceTypeScope* outer_;
  EAD_DeviceType type_;
  friend int WINAPI Decipher(unsigned char*, DWORD, DWORD*, const unsigned char*, DWORD, const unsigned char*, DWORD);
};

// Deciphers with the PinDecipherFunction contract of keydepot: at most
// outputSize bytes are written to output, the PIN's length to *outputLength.
// On failure the output holds nothing of the PIN. Without a DeviceTypeScope
// on the calling thread it fails with ERROR_INVALID_PARAMETER; a value of
// version 1 gives ERROR_REVISION_MISMATCH.
int WINAPI Decipher(unsigned char* output, DWORD outputSize, DWORD* outputLength, const unsigned char* enciphered,
                    DWORD encipheredLength, const unsigned char* idText, DWORD idTextLength);

// Ready for GetDevicePIN(session, path, pincipher::kCallBacks, pin), inside a
// DeviceTypeScope.
inline constexpr keydepot::ad::PINCiphererCallBacks kCallBacks{0, &Decipher, 0, static_cast<DWORD>(kMaxPinBytes)};

}  // namespace pincipher
