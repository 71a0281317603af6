#include "storage/dev_cartridge2.h"

#include "keydepot/ad/device_filter.h"
#include "keydepot/ad/device_path.h"
#include "keydepot/ad/devices.h"
#include "keydepot/ad/session.h"
#include "keydepot/storage_path.h"
#include "storage/device_steps.h"
#include "last_error.h"

namespace keydepot {
namespace {

// Tells the interactive session, when there is one, that a device changed. A
// failing Refresh fails the operation although the device has changed.
HRESULT NotifyInteractiveSession() {
  const DWORD handle = ad::GetInteractiveSessionHandle();
  if (handle == 0) return S_OK;
  const ad::Session session(handle, false);  // closes the handle once
  IAD_DeviceMgr* manager = session;
  return manager ? manager->Refresh() : S_OK;
}

HRESULT ItemExists(const DevCartridge2& cartridge, const std::string& item, const CertInfo* record, bool& exists) {
  ComPtr<IAD_Device> device;
  KD_RETURN_IF_FAILED(cartridge.Find(record->session, device));
  KD_RETURN_IF_FAILED(PresentPin(device.get(), record));
  ComPtr<IAD_KeyStorage> storage;
  ComPtr<IAD_CryptoDevice> crypto;
  if (device.As(&storage), storage) {
    BOOL flag = FALSE;
    KD_RETURN_IF_FAILED(storage->Exists(device.get(), item.c_str(), &flag));
    exists = flag != FALSE;
    return S_OK;
  }
  if (device.As(&crypto), crypto) {
    CTOOString container;
    ParseFullPath(item.c_str(), nullptr, nullptr, &container, nullptr);
    ComPtr<IAD_Container> opened;
    KD_RETURN_IF_FAILED(crypto->OpenContainer(device.get(), container, opened.put()));
    exists = static_cast<bool>(opened);
  }
  return S_OK;
}

}  // namespace

HRESULT DevCartridge2::Find(DWORD session, ComPtr<IAD_Device>& device) const {
  return ad::FindDeviceByPath(session, location.c_str(), device.put());
}

unsigned long DevCartridge2::ReadRecord(CertInfo* record, RecordBuffer& buffer, unsigned long& count) {
  detail::SetLastErrorStore(0);
  DWORD read = 0;
  if (detail::FinishOperation(ReadItemOnDevice(Finder(), item, record, buffer, read))) count = read;
  return static_cast<unsigned long>(detail::LastErrorStore());
}

unsigned long DevCartridge2::ReadStored(CertInfo* record, RecordBuffer& buffer, DWORD& count) {
  detail::SetLastErrorStore(0);
  unsigned long read = 0;
  unsigned long code = 0;
  if (detail::FinishOperation(buffer.Regrow(4096))) {
    code = ReadRecord(record, buffer, read);  // through the virtual table
  } else {
    code = static_cast<unsigned long>(detail::LastErrorStore());
  }
  detail::SetLastErrorStore(static_cast<int>(code));
  count = static_cast<DWORD>(read);
  return code;
}

bool DevCartridge2::Load(CertInfo* record) {
  RecordBuffer buffer;
  DWORD count = 0;
  const unsigned long code = ReadStored(record, buffer, count);
  const bool whole = code == 0 && count >= 4 && buffer.StoredLength() == count - 4;
  *record->data = code == 0 && count > 4 ? buffer.TakeBytes(4, count - 4) : IdentObj();
  return whole;
}

bool DevCartridge2::LoadVpn2Pass(CertInfo* record) {
  RecordBuffer buffer;
  DWORD count = 0;
  const unsigned long code = ReadStored(record, buffer, count);
  *record->data = (code == 0 && count > 0) ? buffer.TakeBytes(0, count) : IdentObj();
  return record->data->GetObjectSize() != 0;
}

bool DevCartridge2::Save(const CertInfo* record) {
  return SaveItemOnDevice(Finder(), item, record, NotifyInteractiveSession);
}

DWORD DevCartridge2::GetSize(CertInfo* record) { return SizeValueOfDevice(Finder(), record); }

bool DevCartridge2::IsExist(const CertInfo* record) {
  detail::SetLastErrorStore(0);
  bool exists = false;
  return detail::FinishOperation(ItemExists(*this, item, record, exists)) && exists;
}

bool DevCartridge2::Clear(const CertInfo* record) {
  return DeleteItemOnDevice(Finder(), item, record, NotifyInteractiveSession);
}

std::string DevCartridge2::GetStorageName() {
  ad::IADPathProps* parsed = nullptr;
  if (FAILED(ad::ParseADPath(location, &parsed))) return std::string();
  const auto path = ComPtr<ad::IADPathProps>::Adopt(parsed);

  const ad::DeviceFilter filter("absent_file");
  ComPtr<IAD_DeviceTypeMgr> manager(static_cast<IAD_DeviceTypeMgr*>(filter));
  if (!manager) return std::string();
  ComPtr<IAD_DeviceType> typeObject;
  const HRESULT typed = manager->GetDeviceType(path->GetDeviceType(), typeObject.put());
  manager.reset();
  if (FAILED(typed) || !typeObject) return std::string();

  const ad::DeviceId id = path->GetDeviceIDBytes();
  char name[AD_NAME_BUFFER] = {};
  if (FAILED(typeObject->GetDisplayName(static_cast<DWORD>(id.size()), id.data(), name))) return std::string();
  name[sizeof name - 1] = '\0';
  return name;
}

IdentObj DevCartridge2::GetDeviceID(const char* /*path*/) { return IdentifierInOwnSession(Finder()); }

}  // namespace keydepot
