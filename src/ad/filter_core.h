// FilterCore: the object behind a device-filter handle — one device-type
// manager of the component, loaded from a filter file through its
// IPersistFile.
//
// Ownership: the core holds one reference to its device-type manager and the
// creator that loaded the component; it releases the manager before the
// creator. A core behind a handle is shared: the handle table holds one owner
// and each lookup another, so CloseDeviceFilter takes it out of the table and
// it is freed when its last user lets go.
// Threads: the manager and path are set by Load before the core is
// registered and never change while it is, so registered cores may be used
// from any thread. The open count changes by atomic steps.
#pragma once

#include "ad/component_creator.h"
#include "keydepot/ad/ref_cnt.h"
#include "keydepot/ad/component.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace keydepot::detail {

class FilterCore {
 public:
  // path: the filter file; null or empty selects the default file at Load.
  explicit FilterCore(const char* path) : path_(path ? path : "") {}
  ~FilterCore();
  FilterCore(const FilterCore&) = delete;
  FilterCore& operator=(const FilterCore&) = delete;

  // Loads the component's device-type manager and the filter file into it. A
  // missing file (any result whose low 16 bits are 2) is not an error. The
  // manager is kept even when the load fails. Throws _com_error when the
  // manager's QueryInterface fails other than with E_NOINTERFACE or the path
  // cannot be converted.
  HRESULT Load();
  // Drops one open; at 0 releases the manager, then the creator. Returns 0.
  HRESULT Close();
  // Writes the filter back to the file it was loaded from (or the default
  // file). E_UNEXPECTED without a manager or path; success codes become 0.
  HRESULT Save();

  // Lent: no reference is added for the caller.
  IAD_DeviceTypeMgr* DeviceTypeManager() const noexcept { return typeManager_.get(); }
  const std::string& Path() const noexcept { return path_; }
  DWORD Handle() const noexcept { return handle_; }

  // The handle registry of filters (see handle_table.h).
  static std::shared_ptr<FilterCore> Find(DWORD handle);
  static DWORD Register(const std::shared_ptr<FilterCore>& core);
  static std::shared_ptr<FilterCore> Unregister(DWORD handle);

 private:
  std::optional<CComponentCreator> creator_;  // made in place: a core is the only holder of its creator
  ComPtr<IAD_DeviceTypeMgr> typeManager_;
  std::string path_;
  std::atomic<long> openCount_{0};
  DWORD handle_ = 0;
};

}  // namespace keydepot::detail
