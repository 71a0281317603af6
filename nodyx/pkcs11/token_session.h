// The PKCS#11 session of one device object: opened on first use, closed
// when the object ends. Not thread-safe: the device serialises its calls.
//
// Login state in PKCS#11 belongs to the process and the token, not to a
// session: while any session of the process is logged in to a token, all
// are, and closing the process's last session to the token logs it out.
// So this class never calls C_Logout (that would log out other device
// objects of the same token); closing its session is enough. It keeps,
// per object, whether a PIN was accepted here, and item access asks for
// that, as on every device of this component.
#pragma once

#include "token.h"

#include "kdplatform/win32.h"

#include <string>
#include <string_view>

namespace nodyx::pkcs11 {

class TokenSession {
 public:
  // Longest PIN passed on to a token; anything longer cannot be right.
  static constexpr std::size_t kMaxPinBytes = 1024;

  explicit TokenSession(Token token) : token_(std::move(token)) {}
  ~TokenSession() { Close(); }
  TokenSession(const TokenSession&) = delete;
  TokenSession& operator=(const TokenSession&) = delete;

  const Token& token() const { return token_; }
  const CK_FUNCTION_LIST& f() const { return token_.module->f(); }

  // The session, opened on first use: read-write, or read-only on a
  // write-protected token. kDeviceNotReady when the token has left its
  // slot or another token is there now. The token is asked again first
  // unless it was read less than kFreshFor ago (a device found a moment
  // ago, as in every library call): no card is pulled and another put in
  // that fast, and some modules take long to answer. Once the session is
  // open, pulling the token ends it, and calls fail; a session that ended so
  // is opened again only after the token was asked (another card may be in
  // the slot by then).
  static constexpr std::chrono::milliseconds kFreshFor{1000};
  HRESULT Open(CK_SESSION_HANDLE* handle);

  // Logs the user in. On a token with a protected authentication path (a
  // PIN pad or reader of its own) the token asks for the PIN itself and
  // pin is not used. A token already logged in by another device object of
  // this process accepts any PIN (the token does not check it again). A
  // refused PIN withdraws one accepted before on this object.
  HRESULT Login(std::string_view pin);

  // kPinRequired when the token wants a login and no PIN was accepted on
  // this object (private objects are invisible before it); kDeviceNotReady
  // instead when the token is gone.
  HRESULT CheckLoggedIn() const;

  // The token's information now (kDeviceNotReady as for Open).
  HRESULT Info(CK_TOKEN_INFO* info) const;

  // The component's code for a failed call; kDeviceNotReady when the
  // token is gone meanwhile (modules answer that in many ways).
  HRESULT Fail(CK_RV rv);

  // One object handle kept from one call to the next, so that reading an
  // item again (callers grow their buffer and ask once more) needs no new
  // search and one call only. Remembered takes it back: the handle when
  // `name` matches, else CK_INVALID_HANDLE; either way it is forgotten.
  void Remember(const char* name, CK_OBJECT_HANDLE object);
  CK_OBJECT_HANDLE Remembered(const char* name);

 private:
  bool StillThere() const;
  void Close();

  const Token token_;
  CK_SESSION_HANDLE handle_ = CK_INVALID_HANDLE;
  bool open_ = false;
  bool lost_ = false;  // a session ended with the token gone: ask before the next
  bool loggedIn_ = false;
  std::string rememberedName_;
  CK_OBJECT_HANDLE remembered_ = CK_INVALID_HANDLE;
};

}  // namespace nodyx::pkcs11
