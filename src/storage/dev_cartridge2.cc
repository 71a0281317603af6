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
void NotifyInteractiveSession() {
  const DWORD handle = ad::GetInteractiveSessionHandle();
  if (handle == 0) return;
  const ad::Session session(handle, false);  // closes the handle once
  IAD_DeviceMgr* manager = session;
  if (manager) detail::ThrowIfFailed(manager->Refresh());
}

}  // namespace

ComPtr<IAD_Device> DevCartridge2::Find(DWORD session) const {
  ComPtr<IAD_Device> device;
  detail::ThrowIfFailed(ad::FindDeviceByPath(session, location.c_str(), device.put()));
  return device;
}

unsigned long DevCartridge2::ReadRecord(CertInfo* record, RecordBuffer& buffer, unsigned long& count) {
  detail::SetLastErrorStore(0);
  try {
    ComPtr<IAD_Device> device = Find(record->session);
    PresentPin(device.get(), record);
    record->deviceId = IdentifierOf(device.get());
    ComPtr<IAD_KeyStorage> storage = KeyStorageOf(device.get());
    count = ReadItem(storage.get(), device.get(), item, buffer);
    return static_cast<unsigned long>(detail::LastErrorStore());
  } catch (long code) {
    detail::StoreFailure(code);
    return static_cast<unsigned long>(detail::LastErrorStore());
  }
}

unsigned long DevCartridge2::ReadStored(CertInfo* record, RecordBuffer& buffer, DWORD& count) {
  detail::SetLastErrorStore(0);
  unsigned long read = 0;
  const unsigned long code = ReadRecord(record, buffer, read);  // through the virtual table
  detail::SetLastErrorStore(static_cast<int>(code));
  count = static_cast<DWORD>(read);
  return code;
}

bool DevCartridge2::Load(CertInfo* record) {
  RecordBuffer buffer(4096);
  DWORD count = 0;
  const unsigned long code = ReadStored(record, buffer, count);
  const bool whole = code == 0 && count >= 4 && buffer.StoredLength() == count - 4;
  *record->data = code == 0 && count > 4 ? buffer.TakeBytes(4, count - 4) : IdentObj();
  return whole;
}

bool DevCartridge2::LoadVpn2Pass(CertInfo* record) {
  RecordBuffer buffer(4096);
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
  try {
    ComPtr<IAD_Device> device = Find(record->session);
    PresentPin(device.get(), record);
    ComPtr<IAD_KeyStorage> storage;
    ComPtr<IAD_CryptoDevice> crypto;
    if (device.As(&storage), storage) {
      BOOL exists = FALSE;
      detail::ThrowIfFailed(storage->Exists(device.get(), item.c_str(), &exists));
      return exists != FALSE;
    }
    if (device.As(&crypto), crypto) {
      CTOOString container;
      ParseFullPath(item.c_str(), nullptr, nullptr, &container, nullptr);
      ComPtr<IAD_Container> opened;
      detail::ThrowIfFailed(crypto->OpenContainer(device.get(), container, opened.put()));
      return static_cast<bool>(opened);
    }
    return false;
  } catch (long code) {
    detail::StoreFailure(code);
    return false;
  }
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
