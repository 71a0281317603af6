// One PKCS#11 token as a device of type kPkcs11TokenType (300,
// "Pkcs11Token"), handed out by the device manager. The object answers
// IAD_Device, IAD_KeyStorage (items: data_objects.h), IAD_CryptoDevice
// (key containers: key_containers.h) and IAD_PinStatus.
//
// Identifier and display name are those the token had when it was found,
// the system name (the slot description) is read when first asked for; they
// stay readable after the token is gone, while every call that reaches the
// token then fails with kDeviceNotReady.
//
// Each object has one PKCS#11 session of its own, opened by the first call
// that needs it and closed when the object is released; it keeps the module
// it came from alive until then. Calls may come from several threads: one
// at a time reaches the session.
//
// PIN: slot 12 logs the user in (token_session.h). On a token that wants a
// login, item calls (Read, Write, Delete, Exists, EnumItems) need a PIN
// accepted on this object (kPinRequired otherwise), because the items are
// private objects that the token hides until then. Container calls need no
// PIN and see what the token shows.
//
// Slots 10 and 11 report the token's total and free private memory, or
// 0xFFFFFFFF when the token does not tell (most do not) or has more. The
// crypto flag (IAD_CryptoDevice slot 7) is 1 for a token in a hardware slot
// (a reader or a USB token) and 0 for a software token. Tokens have no
// default container (slot 23 fails with kNoDefaultContainer).
//
// IAD_TokenObjects (keydepot/ad/token_objects.h) writes certificate
// objects, needing a PIN as the item calls do, and tells a container's key
// objects, needing none (as container calls).
//
// IAD_PinStatus passes on what the token reports of its user PIN
// (CKF_USER_PIN_COUNT_LOW, _FINAL_TRY, _LOCKED); the tries left are known
// only on the final try (1) and when locked (0), the limit never.
//
// IAD_TokenInfo gives the token's fields as it reports them now, and the
// container of a CKA_ID (container_of_id.h); neither needs a PIN.
#pragma once

#include "base/com_support.h"
#include "objects/device_methods.h"
#include "keydepot/ad/component.h"
#include "keydepot/ad/pin_status.h"
#include "keydepot/ad/token_info.h"
#include "keydepot/ad/token_objects.h"
#include "kdplatform/com_object.h"
#include "token_session.h"

#include <mutex>
#include <optional>

namespace nodyx::pkcs11 {

class TokenDevice final : public kdp::ComObject<TokenDevice, IAD_Device, IAD_KeyStorage, IAD_CryptoDevice,
                                                IAD_PinStatus, IAD_TokenInfo, IAD_TokenObjects> {
 public:
  explicit TokenDevice(Token token) : session_(std::move(token)) {}

  NODYX_DEVICE_METHODS

  // IAD_PinStatus
  HRESULT STDMETHODCALLTYPE GetPinStatus(DWORD* triesLeft, DWORD* tryLimit, DWORD* flags) override;

  // IAD_TokenInfo
  HRESULT STDMETHODCALLTYPE GetTokenInfo(AD_TokenInfo* info) override;
  HRESULT STDMETHODCALLTYPE GetContainerOfId(DWORD idSize, const BYTE* id, char* name) override;

  // IAD_TokenObjects
  HRESULT STDMETHODCALLTYPE WriteCertificate(const char* name, const BYTE* der, DWORD count) override;
  HRESULT STDMETHODCALLTYPE GetKeyObjects(const char* name, DWORD* count, AD_KeyObject* keys) override;

  const Token& token() const { return session_.token(); }

 private:
  // Runs body with the session under the lock, after checking the device
  // argument (this device or null) and, when needed, the login.
  template <class Body>
  HRESULT WithSession(IAD_Device* device, bool needsLogin, Body&& body);
  HRESULT Memory(CK_ULONG CK_TOKEN_INFO::*field, DWORD* value);
  const SlotDetails& Slot();  // read on first use; call with mutex_ held

  std::mutex mutex_;
  TokenSession session_;
  std::optional<SlotDetails> slot_;
};

}  // namespace nodyx::pkcs11
