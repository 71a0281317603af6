// Sessions: an initialised device manager of the access-device component,
// held behind a handle.
//
// Sessions are shared: one process-wide silent session per value of the
// silent flag and one process-wide interactive session; only an interactive
// session opened as private gets an object of its own. Every successful open
// is matched by one CloseSession; opening an open session only counts the
// open, and the last close tears the device manager down.
//
// The open functions return 0 on failure. After an open whose result code is
// non-zero they leave that code in the thread's last error (GetLastError): a
// negative failure code, or a positive success code that comes with a valid
// handle.
//
// Handles: 32-bit values, 0 = none. A non-zero value that does not designate a
// live session (never issued, or a private session already closed) is refused
// with E_HANDLE (0x80070006) and never touches freed memory.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/export.h"

namespace keydepot::ad {

KEYDEPOT_API DWORD OpenSilentSession(const char* filterPath);
KEYDEPOT_API DWORD OpenSilentSession(const char* filterPath, bool flag);
// events may be null. A private session has its own device manager.
KEYDEPOT_API DWORD OpenInteractiveSession(const char* filterPath, _IAD_DeviceMgrEvents* events, bool privateSession);
// Counts one more open of the shared interactive session when it is open;
// otherwise 0 with last error E_UNEXPECTED.
KEYDEPOT_API DWORD GetInteractiveSessionHandle();
// 0, or E_POINTER for handle 0.
KEYDEPOT_API HRESULT CloseSession(DWORD handle);
// Writes the session's filter back to its file. E_POINTER for handle 0 or a
// session that is not open.
KEYDEPOT_API HRESULT SaveSessionDeviceFilter(DWORD handle);

#pragma pack(push, 1)
// Wraps a session handle; the destructor closes it unless no-close is set or
// the object is not bound. Copies each close once: copy only into objects
// with no-close set, or release the original without closing.
class KEYDEPOT_API Session {
 public:
  // Attaches to an existing handle without opening. Never throws. With
  // noClose false the object takes over the duty to close the handle once.
  Session(DWORD handle, bool noClose);
  // Open a session (see the open functions); a failed open throws its code as
  // `long`.
  explicit Session(const char* filterPath = nullptr);
  Session(const char* filterPath, bool flag);
  Session(const char* filterPath, _IAD_DeviceMgrEvents* events, bool privateSession);
  ~Session();
  Session(const Session& other) = default;
  Session& operator=(const Session& other);

  operator DWORD() const noexcept { return handle_; }
  // Lent pointers (no reference added); null for handle 0 or a session that
  // is not open.
  operator IAD_DeviceMgr*() const;
  operator IAD_DeviceTypeMgr*() const;

  // Attaches to handle when not bound: S_OK when its session is open, S_FALSE
  // when not (the handle is stored anyway); 0x800704DF when already bound,
  // E_INVALIDARG for handle 0.
  HRESULT Bind(DWORD handle);

  bool IsBound() const noexcept { return bound_; }
  bool IsNoClose() const noexcept { return noClose_; }

 private:
  void Opened(DWORD handle);

  bool bound_ = false;
  DWORD handle_ = 0;
  bool noClose_ = false;
};
#pragma pack(pop)

}  // namespace keydepot::ad
