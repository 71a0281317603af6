// Device-type filters: a device-type manager of the access-device component,
// loaded from a filter file (default "device_type_filter.xml" in the shared
// data folder), held behind a handle.
//
// Handles: 32-bit values, 0 = none. A non-zero value that does not designate a
// live filter (never issued, or already closed) is refused with E_HANDLE
// (0x80070006) and never touches freed memory.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/export.h"

namespace keydepot::ad {

// Opens a filter on the file at path (null or empty = the default file); a
// file that does not exist is an empty filter. Returns the handle, or 0 with
// the failure code in the thread's last error (GetLastError).
KEYDEPOT_API DWORD OpenDeviceFilter(const char* path);
// Closes and frees the filter. E_INVALIDARG for handle 0.
KEYDEPOT_API HRESULT CloseDeviceFilter(DWORD handle);
// Writes the filter back to its file. E_INVALIDARG for handle 0.
KEYDEPOT_API HRESULT SaveDeviceFilter(DWORD handle);

// Owns one filter handle. Copying copies the handle only, and each copy closes
// it when destroyed: copy only into objects that are released exactly once.
class KEYDEPOT_API DeviceFilter {
 public:
  // Opens path (null = the default file); throws the failure code as `long`.
  explicit DeviceFilter(const char* path = nullptr);
  ~DeviceFilter();
  DeviceFilter(const DeviceFilter& other) = default;
  DeviceFilter& operator=(const DeviceFilter& other);

  // The filter's device-type manager, lent (no reference added); null for
  // handle 0 or a handle that is no longer open.
  operator IAD_DeviceTypeMgr*() const;
  HRESULT Save();
  DWORD Handle() const noexcept { return handle_; }

 private:
  DWORD handle_ = 0;
};

}  // namespace keydepot::ad
