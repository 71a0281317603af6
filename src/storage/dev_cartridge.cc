#include "storage/dev_cartridge.h"

#include "keydepot/ad/session.h"
#include "storage/device_steps.h"
#include "last_error.h"
#include "number_text.h"

namespace keydepot {

HRESULT DevCartridge::Find(DWORD session, ComPtr<IAD_Device>& device) const {
  return FindDeviceByType(session, static_cast<DWORD>(detail::Atoi32(location)), device.put());
}

namespace {

HRESULT ItemExists(const DevCartridge& cartridge, const std::string& item, const CertInfo* record, BOOL& exists) {
  ComPtr<IAD_Device> device;
  KD_RETURN_IF_FAILED(cartridge.Find(record->session, device));
  KD_RETURN_IF_FAILED(PresentPin(device.get(), record));
  ComPtr<IAD_KeyStorage> storage;
  KD_RETURN_IF_FAILED(KeyStorageOf(device.get(), storage));
  return storage->Exists(device.get(), item.c_str(), &exists);
}

}  // namespace

bool DevCartridge::Load(CertInfo* record) {
  detail::SetLastErrorStore(0);
  RecordBuffer buffer;
  DWORD count = 0;
  HRESULT hr = buffer.Regrow(4096);
  if (SUCCEEDED(hr)) hr = ReadItemOnDevice(Finder(), item, record, buffer, count);
  if (!detail::FinishOperation(hr)) return false;
  SetPayload(record, buffer, count);
  return true;
}

bool DevCartridge::Save(const CertInfo* record) { return SaveItemOnDevice(Finder(), item, record); }

DWORD DevCartridge::GetSize(CertInfo* record) { return SizeValueOfDevice(Finder(), record); }

bool DevCartridge::IsExist(const CertInfo* record) {
  detail::SetLastErrorStore(0);
  BOOL exists = FALSE;
  return detail::FinishOperation(ItemExists(*this, item, record, exists)) && exists != FALSE;
}

bool DevCartridge::Clear(const CertInfo* record) { return DeleteItemOnDevice(Finder(), item, record); }

std::string DevCartridge::GetStorageName() {
  try {
    const ad::Session own(nullptr);
    ComPtr<IAD_Device> device;
    if (FAILED(Find(own, device))) return std::string();
    char name[AD_NAME_BUFFER] = {};
    if (FAILED(device->GetDisplayName(name))) return std::string();
    name[sizeof name - 1] = '\0';
    return name;
  } catch (long) {  // the session cannot be opened
    return std::string();
  }
}

IdentObj DevCartridge::GetDeviceID(const char* /*path*/) { return IdentifierInOwnSession(Finder()); }

}  // namespace keydepot
