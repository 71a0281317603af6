// What the device functions need from a session handle.
#pragma once

#include "ad/component_creator.h"
#include "keydepot/ad/component.h"

namespace keydepot::detail {

// A session's device manager together with the creator whose load keeps the
// component mapped, so while a caller holds this, another thread's close of
// the session cannot unload the code the manager (or any object taken from
// it) runs. Objects taken from the manager must be released before this is:
// declare them after it.
struct SessionManager {
  SharedCreator creator;  // declared first: released last
  ComPtr<IAD_DeviceMgr> manager;

  explicit operator bool() const noexcept { return static_cast<bool>(manager); }
  IAD_DeviceMgr* get() const noexcept { return manager.get(); }
  IAD_DeviceMgr* operator->() const noexcept { return manager.get(); }
};

// The session's device manager with one reference for the caller. On failure
// *error is TooErr2HResult(TOOERR_NO_SESSION) for handle 0 or a session that is not open,
// E_HANDLE for a value that is not a live session, and the result is empty.
SessionManager SessionDeviceManager(DWORD session, HRESULT* error);

// EnumDevices, QueryInterface for IAD_EnumDevice and Reset. Returns Reset's
// result (or the first failure) and *out holds the enumerator on success. A
// component that gives no collection fails with E_UNEXPECTED; a collection
// without IAD_EnumDevice with E_NOINTERFACE.
HRESULT OpenDeviceEnumerator(IAD_DeviceMgr* manager, ComPtr<IAD_EnumDevice>* out);

}  // namespace keydepot::detail
