// IAD_DeviceTypeMgr: hands out type objects and keeps the device-type
// filter, which IPersistFile loads from and saves to an XML file
// (type_filter.h). Safe to use from several threads.
#pragma once

#include "base/com_support.h"
#include "keydepot/ad/component.h"
#include "kdplatform/com_object.h"
#include "type_filter.h"

#include <mutex>
#include <string>

namespace nodyx {

// Slot 9's answer for a type number the component does not know.
inline constexpr HRESULT kUnknownDeviceType = HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);

class DeviceTypeMgr final : public kdp::ComObject<DeviceTypeMgr, IAD_DeviceTypeMgr, IPersistFile, INodyxTypeFilter> {
  using Base = kdp::ComObject<DeviceTypeMgr, IAD_DeviceTypeMgr, IPersistFile, INodyxTypeFilter>;

 public:
  DeviceTypeMgr() = default;

  // Also answers IPersist, the base of IPersistFile.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

  NODYX_RESERVED_SLOT(3)
  NODYX_RESERVED_SLOT(4)
  NODYX_RESERVED_SLOT(5)
  NODYX_RESERVED_SLOT(6)
  NODYX_RESERVED_SLOT(7)
  NODYX_RESERVED_SLOT(8)
  HRESULT STDMETHODCALLTYPE GetDeviceType(EAD_DeviceType type, IAD_DeviceType** out) override;

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD mode) override;
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) override;
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR fileName) override;
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName) override;

  // INodyxTypeFilter
  BOOL STDMETHODCALLTYPE IsTypeEnabled(EAD_DeviceType type) override;

 private:
  std::mutex mutex_;
  TypeFilter filter_;
  std::string currentFile_;  // native path of the last Load or remembered Save
  bool haveCurrentFile_ = false;
  bool dirty_ = false;
};

}  // namespace nodyx
