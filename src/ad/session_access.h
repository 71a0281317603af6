// What the device functions need from a session handle.
#pragma once

#include "keydepot/ad/component.h"

namespace keydepot::ad {

// The session's device manager with one reference for the caller. On failure
// *error is TooErr2HResult(TOOERR_NO_SESSION) for handle 0 or a session that is not open,
// E_HANDLE for a value that is not a live session, and the result is empty.
ComPtr<IAD_DeviceMgr> SessionDeviceManager(DWORD session, HRESULT* error);

// EnumDevices, QueryInterface for IAD_EnumDevice and Reset. Returns Reset's
// result (or the first failure) and *out holds the enumerator on success. A
// component that gives no collection fails with E_UNEXPECTED; a collection
// without IAD_EnumDevice with E_NOINTERFACE.
HRESULT OpenDeviceEnumerator(IAD_DeviceMgr* manager, ComPtr<IAD_EnumDevice>* out);

}  // namespace keydepot::ad
