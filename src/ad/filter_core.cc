#include "ad/filter_core.h"

#include "ad/handle_table.h"
#include "ad/identifier_text.h"
#include "ad/own_module.h"
#include "ad/shared_data_folder.h"
#include "kdplatform/return_if_failed.h"

namespace keydepot::detail {
namespace {

HandleTable<FilterCore>& Filters() {
  static HandleTable<FilterCore>* table = new HandleTable<FilterCore>;  // lives until the process ends
  return *table;
}

// IPersistFile of the manager; E_NOINTERFACE is a result, any other failure
// is the COM-support error the caller does not catch.
HRESULT QueryPersistFile(IAD_DeviceTypeMgr* manager, ComPtr<IPersistFile>* persist) {
  const HRESULT hr = manager->QueryInterface(IID_IPersistFile, persist->put_void());
  if (hr == E_NOINTERFACE) return E_NOINTERFACE;
  if (FAILED(hr)) _com_issue_error(hr);
  if (!*persist) return E_NOINTERFACE;
  return S_OK;
}

}  // namespace

std::shared_ptr<FilterCore> FilterCore::Find(DWORD handle) { return Filters().Find(handle); }

DWORD FilterCore::Register(const std::shared_ptr<FilterCore>& core) {
  core->handle_ = Filters().Register(core);
  return core->handle_;
}

std::shared_ptr<FilterCore> FilterCore::Unregister(DWORD handle) { return Filters().Unregister(handle); }

FilterCore::~FilterCore() {
  typeManager_.reset();
  creator_.reset();
}

HRESULT FilterCore::Load() {
  ++openCount_;
  if (typeManager_) return S_OK;
  char componentPath[MAX_PATH];
  if (DWORD error = GetComponentPath(componentPath)) return HRESULT_FROM_WIN32(error);

  IAD_DeviceTypeMgr* created = nullptr;
  creator_.emplace();
  const HRESULT made =
      creator_->Create(componentPath, CLSID_ADDeviceTypeMgr, IID_IAD_DeviceTypeMgr, reinterpret_cast<void**>(&created));
  if (FAILED(made)) {
    creator_.reset();  // a creator that failed holds nothing
    return made;
  }
  ComPtr<IAD_DeviceTypeMgr> manager = ComPtr<IAD_DeviceTypeMgr>::Adopt(created);
  // A component that answered with success but no object gives no manager.
  if (!manager) return E_UNEXPECTED;

  ComPtr<IPersistFile> persist;
  KD_RETURN_IF_FAILED(QueryPersistFile(manager.get(), &persist));

  if (path_.empty()) GetFilterFilePath(path_);  // on failure loading goes on with the empty path
  // The absent file of identifier conversions, opened for each one, is
  // converted once.
  static const _bstr_t absentFile(kAbsentFilterFile);
  const bool absent = path_ == kAbsentFilterFile;
  const _bstr_t widePath = absent ? _bstr_t() : _bstr_t(path_.c_str());
  const wchar_t* wide = absent ? static_cast<const wchar_t*>(absentFile) : static_cast<const wchar_t*>(widePath);
  HRESULT result = persist->Load(wide, 0);
  // A filter file that does not exist leaves the manager as the component
  // made it.
  if (HRESULT_CODE(result) == 2) result = S_OK;

  typeManager_ = std::move(manager);
  return result;
}

HRESULT FilterCore::Close() {
  if (--openCount_ < 0) openCount_ = 0;
  if (openCount_ == 0) {
    typeManager_.reset();
    creator_.reset();
  }
  return S_OK;
}

HRESULT FilterCore::Save() {
  if (!typeManager_ || path_.empty()) return E_UNEXPECTED;
  ComPtr<IPersistFile> persist;
  KD_RETURN_IF_FAILED(QueryPersistFile(typeManager_.get(), &persist));
  const _bstr_t widePath(path_.c_str());
  const HRESULT hr = persist->Save(widePath, TRUE);
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace keydepot::detail
