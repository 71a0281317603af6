#include "device_type_mgr.h"

#include "objects/device_type.h"
#include "pkcs11/token.h"
#include "wide_path.h"

namespace nodyx {

HRESULT DeviceTypeMgr::QueryInterface(REFIID iid, void** object) {
  if (object != nullptr && IsEqualIID(iid, IID_IPersist)) {
    *object = static_cast<IPersist*>(static_cast<IPersistFile*>(this));
    AddRef();
    return S_OK;
  }
  return Base::QueryInterface(iid, object);
}

HRESULT DeviceTypeMgr::GetDeviceType(EAD_DeviceType type, IAD_DeviceType** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const DeviceTypeInfo* info = FindDeviceType(type);
  if (info == nullptr) return kUnknownDeviceType;
  const DeviceLabelFinder findLabel = info->family == DeviceFamily::Pkcs11 ? &pkcs11::FindTokenLabel : nullptr;
  return CreateAndQuery<DeviceType>(IID_IAD_DeviceType, reinterpret_cast<void**>(out), *info, findLabel);
}

HRESULT DeviceTypeMgr::GetClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = CLSID_ADDeviceTypeMgr;
  return S_OK;
}

HRESULT DeviceTypeMgr::IsDirty() {
  std::lock_guard lock(mutex_);
  return dirty_ ? S_OK : S_FALSE;
}

HRESULT DeviceTypeMgr::Load(LPCOLESTR fileName, DWORD /*mode*/) {
  if (fileName == nullptr) return E_POINTER;
  return Guarded([&] {
    std::string native;
    // An unmapped drive cannot hold the file: the same answer as any other
    // missing file, so callers that tolerate a missing filter go on.
    if (!WidePathToNative(fileName, &native)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    TypeFilter loaded;
    const HRESULT hr = LoadTypeFilter(native, &loaded);
    std::lock_guard lock(mutex_);
    currentFile_ = native;
    haveCurrentFile_ = true;
    if (SUCCEEDED(hr)) {
      filter_ = std::move(loaded);
      dirty_ = false;
    }
    return hr;
  });
}

HRESULT DeviceTypeMgr::Save(LPCOLESTR fileName, BOOL remember) {
  return Guarded([&] {
    std::string native;
    TypeFilter snapshot;
    {
      std::lock_guard lock(mutex_);
      if (fileName == nullptr) {
        if (!haveCurrentFile_) return E_UNEXPECTED;
        native = currentFile_;
      }
      snapshot = filter_;
    }
    if (fileName != nullptr && !WidePathToNative(fileName, &native)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    const HRESULT hr = SaveTypeFilter(native, snapshot);
    if (SUCCEEDED(hr)) {
      std::lock_guard lock(mutex_);
      if (fileName == nullptr || remember) {
        currentFile_ = native;
        haveCurrentFile_ = true;
        dirty_ = false;
      }
    }
    return hr;
  });
}

HRESULT DeviceTypeMgr::SaveCompleted(LPCOLESTR) { return S_OK; }

// Needs the COM task allocator, which this platform does not offer.
HRESULT DeviceTypeMgr::GetCurFile(LPOLESTR* fileName) {
  if (fileName != nullptr) *fileName = nullptr;
  return E_NOTIMPL;
}

BOOL DeviceTypeMgr::IsTypeEnabled(EAD_DeviceType type) {
  std::lock_guard lock(mutex_);
  return filter_.IsEnabled(type) ? TRUE : FALSE;
}

}  // namespace nodyx
