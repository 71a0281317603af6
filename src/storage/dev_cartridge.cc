#include "storage/dev_cartridge.h"

#include "keydepot/ad/session.h"
#include "storage/device_steps.h"
#include "storage/last_error_store.h"

#include <cstdlib>

namespace keydepot {
namespace {

void StoreFailure(long code) { SetLastErrorStore(HResult2ToolsErr(static_cast<HRESULT>(code))); }

}  // namespace

ComPtr<IAD_Device> DevCartridge::Find(DWORD session) const {
  ComPtr<IAD_Device> device;
  Check(FindDeviceByType(session, static_cast<DWORD>(std::atoi(location.c_str())), device.put()));
  return device;
}

bool DevCartridge::Load(CertInfo* record) {
  SetLastErrorStore(0);
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
    StoreFailure(code);
    return false;
  }
}

bool DevCartridge::Save(const CertInfo* record) {
  SetLastErrorStore(0);
  try {
    ComPtr<IAD_Device> device = Find(record->session);
    CheckRoom(device.get(), record);
    PresentPin(device.get(), record);
    ComPtr<IAD_KeyStorage> storage = KeyStorageOf(device.get());
    WriteItem(storage.get(), device.get(), item, record);
    return true;
  } catch (long code) {
    StoreFailure(code);
    return false;
  }
}

DWORD DevCartridge::GetSize(CertInfo* record) {
  DWORD value = 0;
  try {
    ComPtr<IAD_Device> device = Find(record->session);
    Check(device->GetSizeValue(&value));
  } catch (long code) {
    StoreFailure(code);
  }
  return value;
}

bool DevCartridge::IsExist(const CertInfo* record) {
  SetLastErrorStore(0);
  try {
    ComPtr<IAD_Device> device = Find(record->session);
    PresentPin(device.get(), record);
    ComPtr<IAD_KeyStorage> storage = KeyStorageOf(device.get());
    BOOL exists = FALSE;
    Check(storage->Exists(device.get(), item.c_str(), &exists));
    return exists != FALSE;
  } catch (long code) {
    StoreFailure(code);
    return false;
  }
}

bool DevCartridge::Clear(const CertInfo* record) {
  SetLastErrorStore(0);
  try {
    ComPtr<IAD_Device> device = Find(record->session);
    PresentPin(device.get(), record);
    ComPtr<IAD_KeyStorage> storage = KeyStorageOf(device.get());
    Check(storage->Delete(device.get(), item.c_str()));
    return true;
  } catch (long code) {
    StoreFailure(code);
    return false;
  }
}

std::string DevCartridge::GetStorageName() {
  try {
    ad::Session own(nullptr);
    ComPtr<IAD_Device> device = Find(own);
    char name[AD_NAME_BUFFER] = {};
    Check(device->GetDisplayName(name));
    name[sizeof name - 1] = '\0';
    return name;
  } catch (long) {
    return std::string();
  }
}

IdentObj DevCartridge::GetDeviceID(const char* /*path*/) {
  SetLastErrorStore(0);
  IdentObj result;
  try {
    ad::Session own(nullptr);
    ComPtr<IAD_Device> device = Find(own);
    result = IdentifierOf(device.get());
  } catch (long code) {
    StoreFailure(code);
  }
  return result;
}

}  // namespace keydepot
