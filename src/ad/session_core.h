// SessionCore: the object behind a session handle — one device manager of the
// component, initialised with a device-type filter and, for interactive
// sessions, advised of the caller's event sink.
//
// Ownership: the core owns one reference each to its device manager and event
// sink, one counted reference to the creator that loaded the component, and
// its filter handle. Shared cores live until the library is unloaded; a
// private core (delete-on-last-close) frees itself at its last close.
// Threads: only the open count is atomic; opens and closes of one core must
// not run concurrently.
#pragma once

#include "ad/component_creator.h"
#include "keydepot/ad/ref_cnt.h"
#include "keydepot/ad/component.h"

#include <atomic>

namespace keydepot::ad {

class SessionCore {
 public:
  explicit SessionCore(bool deleteOnLastClose);
  // Releases the sink, the device manager and the creator, in that order;
  // neither unadvises, uninitialises nor closes the filter.
  ~SessionCore();
  SessionCore(const SessionCore&) = delete;
  SessionCore& operator=(const SessionCore&) = delete;

  // Counts one open; initialises the core when it is not fully open. Returns
  // 0, a positive success code of Initialize, or a failure code (after which
  // the open is undone). filterPath is used only when no filter is open yet.
  HRESULT Open(const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink);
  // Drops one open; the last close tears the core down (and frees a private
  // core: do not touch it afterwards). Returns 0.
  HRESULT Close();

  // Lent pointers: no reference is added.
  IAD_DeviceMgr* DeviceManager() const noexcept { return deviceManager_.get(); }
  DWORD FilterHandle() const noexcept { return filterHandle_; }
  long OpenCount() const noexcept { return openCount_.load(); }
  DWORD Handle() const noexcept { return handle_; }

  // The handle registry of sessions (see handle_table.h).
  static SessionCore* Find(DWORD handle);

 private:
  void Initialize(const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink, HRESULT& result);

  DWORD filterHandle_ = 0;
  RefHolder<CComponentCreator> creator_;
  ComPtr<IAD_DeviceMgr> deviceManager_;
  DWORD adviseCookie_ = 0;
  ComPtr<_IAD_DeviceMgrEvents> sink_;
  std::atomic<long> openCount_{0};
  const bool deleteOnLastClose_;
  DWORD handle_ = 0;
};

}  // namespace keydepot::ad
