#include "storage/dev_cartridge.h"

#include "keydepot/ad/session.h"
#include "storage/device_steps.h"
#include "last_error.h"

#include <cstdlib>

namespace keydepot {

ComPtr<IAD_Device> DevCartridge::Find(DWORD session) const {
  ComPtr<IAD_Device> device;
  detail::ThrowIfFailed(FindDeviceByType(session, static_cast<DWORD>(std::atoi(location.c_str())), device.put()));
  return device;
}

bool DevCartridge::Load(CertInfo* record) {
  detail::SetLastErrorStore(0);
  try {
    ComPtr<IAD_Device> device = Find(record->session);
    PresentPin(device.get(), record);
    record->deviceId = IdentifierOf(device.get());
    ComPtr<IAD_KeyStorage> storage = KeyStorageOf(device.get());
    RecordBuffer buffer(4096);
    const DWORD count = ReadItem(storage.get(), device.get(), item, buffer);
    SetPayload(record, buffer, count);
    return true;
  } catch (long code) {
    detail::StoreFailure(code);
    return false;
  }
}

bool DevCartridge::Save(const CertInfo* record) { return SaveItemOnDevice(Finder(), item, record); }

DWORD DevCartridge::GetSize(CertInfo* record) { return SizeValueOfDevice(Finder(), record); }

bool DevCartridge::IsExist(const CertInfo* record) {
  detail::SetLastErrorStore(0);
  try {
    ComPtr<IAD_Device> device = Find(record->session);
    PresentPin(device.get(), record);
    ComPtr<IAD_KeyStorage> storage = KeyStorageOf(device.get());
    BOOL exists = FALSE;
    detail::ThrowIfFailed(storage->Exists(device.get(), item.c_str(), &exists));
    return exists != FALSE;
  } catch (long code) {
    detail::StoreFailure(code);
    return false;
  }
}

bool DevCartridge::Clear(const CertInfo* record) { return DeleteItemOnDevice(Finder(), item, record); }

std::string DevCartridge::GetStorageName() {
  try {
    const ad::Session own(nullptr);
    ComPtr<IAD_Device> device = Find(own);
    char name[AD_NAME_BUFFER] = {};
    detail::ThrowIfFailed(device->GetDisplayName(name));
    name[sizeof name - 1] = '\0';
    return name;
  } catch (long) {
    return std::string();
  }
}

IdentObj DevCartridge::GetDeviceID(const char* /*path*/) { return IdentifierInOwnSession(Finder()); }

}  // namespace keydepot
