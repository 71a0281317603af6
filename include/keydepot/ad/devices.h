// Finding the devices a session's device manager sees.
//
// Results: 0 (or the enumerator's positive Reset result where noted) with the
// out-parameter holding one reference for the caller, or a failure code with
// the out-parameter untouched. Session handle 0, or a session that is not
// open: TooErr2HResult(TOOERR_NO_SESSION) ("no usable session"); a handle that is not a live
// session: E_HANDLE. No function changes the thread's last error.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/export.h"

namespace keydepot::ad {

// An enumerator over all devices, already Reset; returns Reset's result.
KEYDEPOT_API HRESULT GetDevicesEnum(DWORD session, IAD_EnumDevice** out);
// The first device with the device path's type and identifier (trailing zero
// bytes ignored on both sides); 0x80070002 when none matches. The path's
// container is ignored.
KEYDEPOT_API HRESULT FindDeviceByPath(DWORD session, const char* devicePath, IAD_Device** out);
// The first device whose display name equals name, ignoring case.
KEYDEPOT_API HRESULT FindDeviceByDisplayName(DWORD session, const char* name, IAD_Device** out);
// *flag = 1 when the device the path names offers IAD_CryptoDevice, else 0.
KEYDEPOT_API HRESULT IsCryptoDevice(DWORD session, const char* devicePath, int* flag);

}  // namespace keydepot::ad
