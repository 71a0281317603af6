// What a PKCS#11 token says of itself: an interface that a device may answer
// to QueryInterface beside IAD_Device, so that a tool can name the token and
// its key containers the way other PKCS#11 programs do (RFC 7512 URIs).
//
// Optional: a device that is no PKCS#11 token answers E_NOINTERFACE.
#pragma once

#include "keydepot/ad/component.h"

inline constexpr IID IID_IAD_TokenInfo = {0xDCF6BA71, 0xEC54, 0x406D, {0x9E, 0xAF, 0xAB, 0xB7, 0x8C, 0x56, 0x2E, 0x41}};

// The token's text fields byte for byte as the token reports them in its
// CK_TOKEN_INFO: UTF-8, blank-padded, not terminated. Nothing in them is
// cleaned: print them only after escaping.
struct AD_TokenInfo {
  BYTE label[32];
  BYTE manufacturer[32];
  BYTE model[16];
  BYTE serial[16];
};

KDP_INTERFACE IAD_TokenInfo : public IUnknown {
  // 3: the fields as the token reports them now. E_POINTER for a null info.
  virtual HRESULT STDMETHODCALLTYPE GetTokenInfo(AD_TokenInfo * info) = 0;
  // 4: the name of the key container whose objects carry the CKA_ID id
  // (idSize bytes), zero-terminated into name (AD_NAME_BUFFER bytes); 0x80070002
  // when the token shows no key object with that CKA_ID. Needs no PIN, so
  // before a login a container of private objects only is not found.
  virtual HRESULT STDMETHODCALLTYPE GetContainerOfId(DWORD idSize, const BYTE* id, char* name /*AD_NAME_BUFFER*/) = 0;
};

KDP_DECLARE_IID(IAD_TokenInfo, IID_IAD_TokenInfo);
