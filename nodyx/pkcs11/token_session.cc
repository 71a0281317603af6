#include "token_session.h"

#include "ck_result.h"
#include "base/result_codes.h"
#include "kdplatform/return_if_failed.h"

namespace nodyx::pkcs11 {

bool TokenSession::StillThere() const {
  Token now;
  return ReadToken(token_.module, token_.slot, &now) && now.id == token_.id;
}

HRESULT TokenSession::Open(CK_SESSION_HANDLE* handle) {
  if (!open_) {
    const bool fresh = !lost_ && std::chrono::steady_clock::now() - token_.readAt < kFreshFor;
    if (!fresh && !StillThere()) return kDeviceNotReady;
    lost_ = false;
    CK_RV rv = f().C_OpenSession(token_.slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &handle_);
    if (rv == CKR_TOKEN_WRITE_PROTECTED) {
      rv = f().C_OpenSession(token_.slot, CKF_SERIAL_SESSION, nullptr, nullptr, &handle_);
    }
    if (rv != CKR_OK) return Fail(rv);
    open_ = true;
  }
  *handle = handle_;
  return S_OK;
}

HRESULT TokenSession::Login(std::string_view pin) {
  CK_SESSION_HANDLE session;
  KD_RETURN_IF_FAILED(Open(&session));
  loggedIn_ = false;
  if (pin.size() > kMaxPinBytes) return kWrongPin;
  CK_RV rv;
  if ((token_.tokenFlags & CKF_PROTECTED_AUTHENTICATION_PATH) != 0) {
    rv = f().C_Login(session, CKU_USER, nullptr, 0);
  } else {
    // PKCS#11 takes the PIN as non-const bytes but does not change them.
    rv = f().C_Login(session, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin.data())), pin.size());
  }
  if (rv != CKR_OK && rv != CKR_USER_ALREADY_LOGGED_IN) return Fail(rv);
  loggedIn_ = true;
  return S_OK;
}

HRESULT TokenSession::CheckLoggedIn() const {
  if ((token_.tokenFlags & CKF_LOGIN_REQUIRED) == 0 || loggedIn_) return S_OK;
  return StillThere() ? kPinRequired : kDeviceNotReady;
}

HRESULT TokenSession::Info(CK_TOKEN_INFO* info) const {
  if (ReadTokenInfo(*token_.module, token_.slot, info) != CKR_OK || TokenId(*info) != token_.id) return kDeviceNotReady;
  return S_OK;
}

HRESULT TokenSession::Fail(CK_RV rv) {
  const HRESULT hr = HresultFromCkr(rv);
  if (hr == kDeviceNotReady || !StillThere()) {
    Close();
    lost_ = true;
    return kDeviceNotReady;
  }
  return hr;
}

void TokenSession::Remember(const char* name, CK_OBJECT_HANDLE object) {
  rememberedName_ = name;
  remembered_ = object;
}

CK_OBJECT_HANDLE TokenSession::Remembered(const char* name) {
  const CK_OBJECT_HANDLE object = rememberedName_ == name ? remembered_ : CK_INVALID_HANDLE;
  remembered_ = CK_INVALID_HANDLE;
  rememberedName_.clear();
  return object;
}

void TokenSession::Close() {
  if (open_) f().C_CloseSession(handle_);
  open_ = false;
  loggedIn_ = false;
  remembered_ = CK_INVALID_HANDLE;
}

}  // namespace nodyx::pkcs11
