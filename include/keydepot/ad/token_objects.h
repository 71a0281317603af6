// What only a PKCS#11 token does with its objects: an interface that a
// token's device answers to QueryInterface beside IAD_Device. Other devices
// answer E_NOINTERFACE, which is how a caller tells that a device is no
// PKCS#11 token.
//
// Calls reach the token as the device's item calls do: on a token that
// wants a login, a PIN must have been accepted on the device object
// (IAD_Device::PresentPIN) first, else E_ACCESSDENIED.
#pragma once

#include "keydepot/ad/component.h"

inline constexpr IID IID_IAD_TokenObjects = {
    0xF30F5AC3, 0x51B9, 0x4939, {0x92, 0xE1, 0x21, 0xD3, 0x4E, 0x9C, 0x47, 0x8F}};

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
};

KDP_DECLARE_IID(IAD_TokenObjects, IID_IAD_TokenObjects);
