#include "ad/session_core.h"

#include "ad/filter_core.h"
#include "ad/handle_table.h"
#include "ad/own_module.h"
#include "keydepot/ad/device_filter.h"

#include <string>

namespace keydepot::ad {
namespace {

HandleTable<SessionCore>& Sessions() {
  static HandleTable<SessionCore>* table = new HandleTable<SessionCore>;  // lives until the process ends
  return *table;
}

}  // namespace

SessionCore* SessionCore::Find(DWORD handle) { return Sessions().Find(handle); }

SessionCore::SessionCore(bool deleteOnLastClose) : deleteOnLastClose_(deleteOnLastClose) {
  handle_ = Sessions().Register(this);
}

SessionCore::~SessionCore() {
  Sessions().Unregister(handle_);
  sink_.reset();
  deviceManager_.reset();
  creator_.reset();
}

HRESULT SessionCore::Open(const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink) {
  ++openCount_;
  if (deviceManager_ && filterHandle_ != 0) return S_OK;

  HRESULT result = S_OK;
  try {
    Initialize(filterPath, flag, sink, result);
  } catch (long code) {
    result = static_cast<HRESULT>(code);
  }
  if (FAILED(result)) Close();  // may free this core
  return result;
}

void SessionCore::Initialize(const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink, HRESULT& result) {
  std::string componentPath;
  if (DWORD error = GetComponentPath(componentPath)) throw static_cast<long>(HRESULT_FROM_WIN32(error));

  if (filterHandle_ == 0) {
    const DWORD filter = OpenDeviceFilter(filterPath);
    if (filter == 0) throw static_cast<long>(static_cast<HRESULT>(GetLastError()));
    filterHandle_ = filter;
  }

  if (deviceManager_) return;

  IAD_DeviceMgr* created = nullptr;
  auto* creator = new CComponentCreator(componentPath.c_str(), CLSID_ADDeviceMgr, IID_IAD_DeviceMgr,
                                        reinterpret_cast<void**>(&created));
  creator_.reset(creator);
  deviceManager_ = ComPtr<IAD_DeviceMgr>::Adopt(created);
  // A component that answered with success but no object gives no manager.
  if (!deviceManager_) throw static_cast<long>(E_UNEXPECTED);

  if (sink) {
    if (HRESULT hr = deviceManager_->Advise(sink, &adviseCookie_); FAILED(hr)) throw static_cast<long>(hr);
  }

  FilterCore* filter = FilterCore::Find(filterHandle_);
  ComPtr<IAD_DeviceTypeMgr> typeManager(filter ? filter->DeviceTypeManager() : nullptr);
  const HRESULT hr = deviceManager_->Initialize(typeManager.get(), flag);
  typeManager.reset();
  if (FAILED(hr)) throw static_cast<long>(hr);
  result = hr;

  sink_ = ComPtr<_IAD_DeviceMgrEvents>(sink);
}

HRESULT SessionCore::Close() {
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
    CloseDeviceFilter(filterHandle_);
    filterHandle_ = 0;
  }
  creator_.reset();
  if (deleteOnLastClose_) delete this;
  return S_OK;
}

}  // namespace keydepot::ad
