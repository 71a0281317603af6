#include "keydepot/ad/device_filter.h"

#include "ad/filter_core.h"

#include <memory>
#include <new>

namespace keydepot::ad {

DWORD OpenDeviceFilter(const char* path) {
  std::shared_ptr<detail::FilterCore> core(new (std::nothrow) detail::FilterCore(path));
  if (!core) {
    SetLastError(static_cast<DWORD>(E_POINTER));
    return 0;
  }
  const HRESULT result = core->Load();
  if (FAILED(result)) {
    // The core goes first: releasing its component may reset the last error.
    core.reset();
    SetLastError(static_cast<DWORD>(result));
    return 0;
  }
  // Positive success codes of the load are not reported.
  return detail::FilterCore::Register(core);
}

HRESULT CloseDeviceFilter(DWORD handle) {
  if (handle == 0) return E_INVALIDARG;
  // The manager and the creator go when the last user lets go of the core.
  if (!detail::FilterCore::Unregister(handle)) return E_HANDLE;
  return S_OK;
}

HRESULT SaveDeviceFilter(DWORD handle) {
  if (handle == 0) return E_INVALIDARG;
  std::shared_ptr<detail::FilterCore> core = detail::FilterCore::Find(handle);
  if (!core) return E_HANDLE;
  return core->Save();
}

DeviceFilter::DeviceFilter(const char* path) : handle_(OpenDeviceFilter(path)) {
  if (handle_ == 0) throw static_cast<long>(static_cast<HRESULT>(GetLastError()));
}

DeviceFilter::~DeviceFilter() { CloseDeviceFilter(handle_); }

DeviceFilter& DeviceFilter::operator=(const DeviceFilter& other) {
  handle_ = other.handle_;
  return *this;
}

DeviceFilter::operator IAD_DeviceTypeMgr*() const {
  std::shared_ptr<detail::FilterCore> core = detail::FilterCore::Find(handle_);
  return core ? core->DeviceTypeManager() : nullptr;
}

HRESULT DeviceFilter::Save() { return SaveDeviceFilter(handle_); }

}  // namespace keydepot::ad
