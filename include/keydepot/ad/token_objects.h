// What only a PKCS#11 token does with its objects: an interface that a
// token's device answers to QueryInterface beside IAD_Device. Other devices
// answer E_NOINTERFACE, which is how a caller tells that a device is no
// PKCS#11 token.
//
// WriteCertificate reaches the token as the device's item calls do: on a
// token that wants a login, a PIN must have been accepted on the device
// object (IAD_Device::PresentPIN) first, else E_ACCESSDENIED.
#pragma once

#include "keydepot/ad/component.h"

inline constexpr IID IID_IAD_TokenObjects = {
    0xF30F5AC3, 0x51B9, 0x4939, {0x92, 0xE1, 0x21, 0xD3, 0x4E, 0x9C, 0x47, 0x8F}};

// One key object of a container, as GetKeyObjects tells it. Nothing of the
// key's value: its class, type, size and what it may be used for.
struct AD_KeyObject {
  DWORD objectClass;  // CKO_PRIVATE_KEY (3) or CKO_PUBLIC_KEY (2)
  DWORD keyType;      // CKK_RSA (0), CKK_EC (3), ...: the token's CKA_KEY_TYPE
  DWORD bits;         // RSA: the modulus's bits; EC: the named curve's (P-256, P-384, P-521); 0: unknown
  DWORD usage;        // AD_KEY_USE_* bits
  DWORD flags;        // AD_KEY_* bits
};

// AD_KeyObject::usage: the object's CKA_SIGN, CKA_VERIFY, CKA_DECRYPT,
// CKA_ENCRYPT, CKA_UNWRAP, CKA_WRAP and CKA_DERIVE.
inline constexpr DWORD AD_KEY_USE_SIGN = 0x1;
inline constexpr DWORD AD_KEY_USE_VERIFY = 0x2;
inline constexpr DWORD AD_KEY_USE_DECRYPT = 0x4;
inline constexpr DWORD AD_KEY_USE_ENCRYPT = 0x8;
inline constexpr DWORD AD_KEY_USE_UNWRAP = 0x10;
inline constexpr DWORD AD_KEY_USE_WRAP = 0x20;
inline constexpr DWORD AD_KEY_USE_DERIVE = 0x40;
// AD_KeyObject::flags: CKA_SENSITIVE, CKA_EXTRACTABLE, CKA_PRIVATE.
inline constexpr DWORD AD_KEY_SENSITIVE = 0x1;
inline constexpr DWORD AD_KEY_EXTRACTABLE = 0x2;
inline constexpr DWORD AD_KEY_PRIVATE = 0x4;

KDP_INTERFACE IAD_TokenObjects : public IUnknown {
  // 3: stores der, which must be one DER X.509 certificate
  // (CRYPT_E_ASN1_BADTAG, 0x8009310B, otherwise), as a certificate object
  // named `name` (a valid item name): public, kept on the token, with the
  // certificate's subject, issuer and serial number as attributes and the
  // CKA_ID of the key container of that name, or, without one, the SHA-1 of
  // the certificate's public key bits (the subjectPublicKey BIT STRING), the
  // identifier p11tool gives a certificate and its key. The item `name` then reads as
  // the certificate: the container's certificates and the data objects of
  // that name are replaced once the new object exists.
  virtual HRESULT STDMETHODCALLTYPE WriteCertificate(const char* name, const BYTE* der, DWORD count) = 0;

  // 4: the key objects of the container `name`, private keys first: *count
  // is the capacity of keys in (keys may be null with 0) and the number of
  // key objects out; S_OK with more than the capacity copies none. S_OK with
  // 0 for a name that is no container or holds no key. Needs no PIN, but
  // shows private keys only after one was accepted (the token hides them).
  virtual HRESULT STDMETHODCALLTYPE GetKeyObjects(const char* name, DWORD* count, AD_KeyObject* keys) = 0;
};

KDP_DECLARE_IID(IAD_TokenObjects, IID_IAD_TokenObjects);
