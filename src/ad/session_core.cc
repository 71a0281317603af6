#include "ad/session_core.h"

#include "ad/filter_core.h"
#include "ad/handle_table.h"
#include "ad/own_module.h"
#include "keydepot/ad/device_filter.h"
#include "kdplatform/return_if_failed.h"

#include <new>
#include <string>

namespace keydepot::detail {
namespace {

HandleTable<SessionCore>& Sessions() {
  static HandleTable<SessionCore>* table = new HandleTable<SessionCore>;  // lives until the process ends
  return *table;
}

}  // namespace

std::shared_ptr<SessionCore> SessionCore::Create(bool deleteOnLastClose) {
  std::shared_ptr<SessionCore> core(new (std::nothrow) SessionCore(deleteOnLastClose));
  if (core) core->handle_ = Sessions().Register(core);
  return core;
}

std::shared_ptr<SessionCore> SessionCore::Find(DWORD handle) { return Sessions().Find(handle); }

void SessionCore::Unregister(DWORD handle) { Sessions().Unregister(handle); }

SessionCore::~SessionCore() {
  sink_.reset();
  deviceManager_.reset();
  creator_.reset();
}

ComPtr<IAD_DeviceMgr> SessionCore::DeviceManager() const {
  std::lock_guard lock(mutex_);
  return deviceManager_;
}

ComPtr<IAD_DeviceMgr> SessionCore::DeviceManager(SharedCreator& creator) const {
  std::lock_guard lock(mutex_);
  creator = creator_;
  return deviceManager_;
}

DWORD SessionCore::FilterHandle() const {
  std::lock_guard lock(mutex_);
  return filterHandle_;
}

HRESULT SessionCore::Open(const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink) {
  std::lock_guard lock(mutex_);
  ++openCount_;
  if (deviceManager_ && filterHandle_ != 0) return S_OK;

  const HRESULT result = Initialize(filterPath, flag, sink);
  if (FAILED(result)) CloseLocked();
  return result;
}

HRESULT SessionCore::Initialize(const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink) {
  char componentPath[MAX_PATH];
  if (DWORD error = GetComponentPath(componentPath)) return HRESULT_FROM_WIN32(error);

  if (filterHandle_ == 0) {
    const DWORD filter = ad::OpenDeviceFilter(filterPath);
    if (filter == 0) return static_cast<HRESULT>(GetLastError());
    filterHandle_ = filter;
  }

  if (deviceManager_) return S_OK;

  IAD_DeviceMgr* created = nullptr;
  KD_RETURN_IF_FAILED(CreateComponentObject(componentPath, CLSID_ADDeviceMgr, IID_IAD_DeviceMgr, creator_,
                                            reinterpret_cast<void**>(&created)));
  deviceManager_ = ComPtr<IAD_DeviceMgr>::Adopt(created);
  // A component that answered with success but no object gives no manager.
  if (!deviceManager_) return E_UNEXPECTED;

  if (sink) {
    KD_RETURN_IF_FAILED(deviceManager_->Advise(sink, &adviseCookie_));
  }

  std::shared_ptr<FilterCore> filter = FilterCore::Find(filterHandle_);
  ComPtr<IAD_DeviceTypeMgr> typeManager(filter ? filter->DeviceTypeManager() : nullptr);
  filter.reset();
  const HRESULT hr = deviceManager_->Initialize(typeManager.get(), flag);
  typeManager.reset();
  KD_RETURN_IF_FAILED(hr);

  sink_ = ComPtr<_IAD_DeviceMgrEvents>(sink);
  return hr;
}

HRESULT SessionCore::Close() {
  std::lock_guard lock(mutex_);
  return CloseLocked();
}

HRESULT SessionCore::CloseLocked() {
  if (--openCount_ < 0) openCount_ = 0;
  if (openCount_ != 0) return S_OK;

  if (deviceManager_) {
    if (adviseCookie_ != 0) {
      deviceManager_->Unadvise(adviseCookie_);
      sink_.reset();
    }
    deviceManager_->Uninitialize();
  }
  deviceManager_.reset();
  if (filterHandle_ != 0) {
    ad::CloseDeviceFilter(filterHandle_);
    filterHandle_ = 0;
  }
  creator_.reset();
  if (deleteOnLastClose_) Unregister(handle_);
  return S_OK;
}

}  // namespace keydepot::detail
