// The failure codes this component's devices answer with, whatever keeps
// their items (the folder store or a PKCS#11 token).
#pragma once

#include "kdplatform/win32.h"

namespace nodyx {

inline constexpr HRESULT kWrongPin = HRESULT_FROM_WIN32(86);  // ERROR_INVALID_PASSWORD
inline constexpr HRESULT kPinRequired = E_ACCESSDENIED;
// SCARD_W_CHV_BLOCKED: too many wrong PINs; the card's owner must unblock it.
inline constexpr HRESULT kPinLocked = static_cast<HRESULT>(0x8010006Cu);
inline constexpr HRESULT kDeviceNotReady = HRESULT_FROM_WIN32(ERROR_NOT_READY);
inline constexpr HRESULT kNoDefaultContainer = HRESULT_FROM_WIN32(1168);  // ERROR_NOT_FOUND
inline constexpr HRESULT kNoRoom = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
inline constexpr HRESULT kItemNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
// The device is there but in use: another program or session holds what the
// call needs (a PKCS#11 token with all its sessions taken), or changed the
// object the call was working on. Trying again later may work.
inline constexpr HRESULT kDeviceBusy = HRESULT_FROM_WIN32(170);  // ERROR_BUSY
// The device itself failed (a card or reader fault), as opposed to being gone.
inline constexpr HRESULT kDeviceError = HRESULT_FROM_WIN32(1117);  // ERROR_IO_DEVICE
// The PIN was right but has expired: the device wants it changed first.
inline constexpr HRESULT kPinExpired = HRESULT_FROM_WIN32(1330);  // ERROR_PASSWORD_EXPIRED
// NTE_BAD_KEY_STATE: the name is a key container with no certificate, and
// keys never leave the token.
inline constexpr HRESULT kKeyNotExported = static_cast<HRESULT>(0x8009000Bu);
// CRYPT_E_ASN1_BADTAG: bytes to be stored as a certificate are not one DER
// X.509 certificate.
inline constexpr HRESULT kNotACertificate = static_cast<HRESULT>(0x8009310Bu);

}  // namespace nodyx
