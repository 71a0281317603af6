// SessionCore: the object behind a session handle — one device manager of the
// component, initialised with a device-type filter and, for interactive
// sessions, advised of the caller's event sink.
//
// Ownership: the core owns one reference each to its device manager and event
// sink, one counted reference to the creator that loaded the component, and
// its filter handle. Cores are shared owners: the handle table holds one, and
// every lookup another. Shared cores stay registered until the library is
// unloaded; a private core (delete-on-last-close) leaves the table at its last
// close and is freed when its last user lets go.
// Threads: opens, closes and the accessors are serialised by the core's own
// mutex, so any thread may use any handle.
#pragma once

#include "ad/component_creator.h"
#include "keydepot/ad/ref_cnt.h"
#include "keydepot/ad/component.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace keydepot::detail {

class SessionCore {
 public:
  // A registered core with its handle; null when memory runs out.
  static std::shared_ptr<SessionCore> Create(bool deleteOnLastClose);
  explicit SessionCore(bool deleteOnLastClose) : deleteOnLastClose_(deleteOnLastClose) {}
  // Releases the sink, the device manager and the creator, in that order;
  // neither unadvises, uninitialises nor closes the filter.
  ~SessionCore();
  SessionCore(const SessionCore&) = delete;
  SessionCore& operator=(const SessionCore&) = delete;

  // Counts one open; initialises the core when it is not fully open. Returns
  // 0, a positive success code of Initialize, or a failure code (after which
  // the open is undone). filterPath is used only when no filter is open yet.
  HRESULT Open(const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink);
  // Drops one open; the last close tears the core down (and unregisters a
  // private core). Returns 0.
  HRESULT Close();

  // The device manager with one reference for the caller; null while closed.
  ComPtr<IAD_DeviceMgr> DeviceManager() const;
  // The same, and the creator whose load keeps the manager's code mapped
  // (both null while closed). A caller that keeps the manager past a close
  // by another thread must hold both and release the manager first.
  ComPtr<IAD_DeviceMgr> DeviceManager(SharedCreator& creator) const;
  DWORD FilterHandle() const;
  long OpenCount() const noexcept { return openCount_.load(); }
  DWORD Handle() const noexcept { return handle_; }

  // The handle registry of sessions (see handle_table.h).
  static std::shared_ptr<SessionCore> Find(DWORD handle);
  // Takes a core out of the registry; it is freed when its last user lets go.
  static void Unregister(DWORD handle);

 private:
  // The failure, or the device manager's positive success code.
  HRESULT Initialize(const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink);
  HRESULT CloseLocked();

  // Recursive: an event sink advised under it may call back on this thread.
  mutable std::recursive_mutex mutex_;

  DWORD filterHandle_ = 0;
  SharedCreator creator_;
  ComPtr<IAD_DeviceMgr> deviceManager_;
  DWORD adviseCookie_ = 0;
  ComPtr<_IAD_DeviceMgrEvents> sink_;
  std::atomic<long> openCount_{0};
  const bool deleteOnLastClose_;
  DWORD handle_ = 0;
};

}  // namespace keydepot::detail
