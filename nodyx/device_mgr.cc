#include "device_mgr.h"

#include "device.h"
#include "enumerator.h"

namespace nodyx {

namespace {

using DeviceItems = Enumerator<IAD_EnumDevice, IAD_Device>::Items;

bool SameEntry(const DeviceStore::Entry& a, const DeviceStore::Entry& b) {
  return a.folder == b.folder && a.record.type == b.record.type && a.record.id == b.record.id;
}

bool Contains(const std::vector<DeviceStore::Entry>& entries, const DeviceStore::Entry& wanted) {
  for (const auto& e : entries) {
    if (SameEntry(e, wanted)) return true;
  }
  return false;
}

}  // namespace

std::vector<DeviceStore::Entry> DeviceMgr::VisibleDevices() const {
  std::vector<DeviceStore::Entry> visible;
  for (auto& entry : store_->Scan()) {
    if (entry.record.detached) continue;
    if (filter_ && !filter_->IsTypeEnabled(static_cast<EAD_DeviceType>(entry.record.type))) continue;
    visible.push_back(std::move(entry));
  }
  return visible;
}

HRESULT DeviceMgr::Initialize(IAD_DeviceTypeMgr* typeMgr, bool /*flag*/) {
  return Guarded([&] {
    std::lock_guard lock(mutex_);
    if (initialized_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    std::string root;
    const HRESULT hr = DeviceStore::DefaultRoot(&root);
    if (FAILED(hr)) return hr;
    store_.emplace(root);
    typeMgr_ = ComPtr<IAD_DeviceTypeMgr>(typeMgr);
    if (typeMgr_) typeMgr_.As(&filter_);  // another component's manager filters nothing
    seen_ = VisibleDevices();
    initialized_ = true;
    return S_OK;
  });
}

HRESULT DeviceMgr::Uninitialize() {
  std::map<DWORD, ComPtr<_IAD_DeviceMgrEvents>> sinks;
  ComPtr<IAD_DeviceTypeMgr> typeMgr;
  ComPtr<INodyxTypeFilter> filter;
  {
    std::lock_guard lock(mutex_);
    if (!initialized_) return S_FALSE;
    initialized_ = false;
    // Released after the lock: a sink's last release may run its code.
    sinks.swap(sinks_);
    typeMgr.swap(typeMgr_);
    filter.swap(filter_);
    seen_.clear();
    store_.reset();
  }
  return S_OK;
}

HRESULT DeviceMgr::Refresh() {
  return Guarded([&] {
    std::vector<ComPtr<IAD_Device>> arrived, removed;
    std::vector<ComPtr<_IAD_DeviceMgrEvents>> sinks;
    {
      std::lock_guard lock(mutex_);
      if (!initialized_) return E_UNEXPECTED;
      auto now = VisibleDevices();
      for (const auto& old : seen_) {
        if (!Contains(now, old)) {
          removed.push_back(ComPtr<IAD_Device>::Adopt(new Device(*store_, old.folder, old.record)));
        }
      }
      for (const auto& entry : now) {
        if (!Contains(seen_, entry)) {
          arrived.push_back(ComPtr<IAD_Device>::Adopt(new Device(*store_, entry.folder, entry.record)));
        }
      }
      seen_ = std::move(now);
      for (const auto& [cookie, sink] : sinks_) sinks.push_back(sink);
    }
    for (const auto& sink : sinks) {
      for (const auto& device : removed) sink->DeviceRemoved(device.get());
      for (const auto& device : arrived) sink->DeviceArrived(device.get());
    }
    return S_OK;
  });
}

HRESULT DeviceMgr::EnumDevices(IUnknown** collection) {
  if (collection == nullptr) return E_POINTER;
  *collection = nullptr;
  return Guarded([&] {
    auto items = std::make_shared<DeviceItems>();
    {
      std::lock_guard lock(mutex_);
      if (!initialized_) return E_UNEXPECTED;
      for (auto& entry : VisibleDevices()) {
        items->push_back(
            ComPtr<IAD_Device>::Adopt(new Device(*store_, std::move(entry.folder), std::move(entry.record))));
      }
    }
    // The enumerator is its own collection: it answers IAD_EnumDevice.
    return CreateAndQuery<Enumerator<IAD_EnumDevice, IAD_Device>>(
        IID_IUnknown, reinterpret_cast<void**>(collection), std::shared_ptr<const DeviceItems>(std::move(items)));
  });
}

HRESULT DeviceMgr::Advise(_IAD_DeviceMgrEvents* sink, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  return Guarded([&] {
    std::lock_guard lock(mutex_);
    DWORD value = nextCookie_++;
    if (value == 0) value = nextCookie_++;  // 0 means "no connection"
    sinks_.emplace(value, ComPtr<_IAD_DeviceMgrEvents>(sink));
    *cookie = value;
    return S_OK;
  });
}

HRESULT DeviceMgr::Unadvise(DWORD cookie) {
  ComPtr<_IAD_DeviceMgrEvents> sink;
  {
    std::lock_guard lock(mutex_);
    const auto it = sinks_.find(cookie);
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sink = std::move(it->second);
    sinks_.erase(it);
  }
  return S_OK;
}

}  // namespace nodyx
