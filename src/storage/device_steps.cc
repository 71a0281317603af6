#include "storage/device_steps.h"

#include "ad/device_reading.h"
#include "ad/enumeration.h"
#include "ad/session_access.h"
#include "keydepot/ad/session.h"
#include "last_error.h"

#include <algorithm>

namespace keydepot {
namespace {

// Records are read into a buffer that starts at this capacity and grows in
// such steps.
constexpr DWORD kReadStep = 4096;
// Items the component reports as larger than this are refused rather than
// allocated.
constexpr DWORD kLargestItem = 0x7FFFF000u;

}  // namespace

void detail::StoreFailure(long code) { detail::SetLastErrorStore(HResult2ToolsErr(static_cast<HRESULT>(code))); }

bool SaveItemOnDevice(const DeviceFinder& find, const std::string& item, const CertInfo* record,
                      const AfterChange& afterChange) {
  detail::SetLastErrorStore(0);
  try {
    {
      ComPtr<IAD_Device> device = find(record->session);
      CheckRoom(device.get(), record);
      PresentPin(device.get(), record);
      ComPtr<IAD_KeyStorage> storage = KeyStorageOf(device.get());
      WriteItem(storage.get(), device.get(), item, record);
    }
    if (afterChange) afterChange();
    return true;
  } catch (long code) {
    detail::StoreFailure(code);
    return false;
  }
}

bool DeleteItemOnDevice(const DeviceFinder& find, const std::string& item, const CertInfo* record,
                        const AfterChange& afterChange) {
  detail::SetLastErrorStore(0);
  try {
    {
      ComPtr<IAD_Device> device = find(record->session);
      PresentPin(device.get(), record);
      ComPtr<IAD_KeyStorage> storage = KeyStorageOf(device.get());
      detail::ThrowIfFailed(storage->Delete(device.get(), item.c_str()));
    }
    if (afterChange) afterChange();
    return true;
  } catch (long code) {
    detail::StoreFailure(code);
    return false;
  }
}

DWORD SizeValueOfDevice(const DeviceFinder& find, const CertInfo* record) {
  DWORD value = 0;
  try {
    detail::ThrowIfFailed(find(record->session)->GetSizeValue(&value));
  } catch (long code) {
    detail::StoreFailure(code);
  }
  return value;
}

IdentObj IdentifierInOwnSession(const DeviceFinder& find) {
  detail::SetLastErrorStore(0);
  IdentObj result;
  try {
    const ad::Session own(nullptr);
    result = IdentifierOf(find(own).get());
  } catch (long code) {
    detail::StoreFailure(code);
  }
  return result;
}

HRESULT FindDeviceByType(DWORD session, DWORD type, IAD_Device** out) {
  try {
    HRESULT hr = S_OK;
    ComPtr<IAD_DeviceMgr> manager = ad::SessionDeviceManager(session, &hr);
    if (!manager) return hr;
    if (!out) return E_INVALIDARG;
    ComPtr<IAD_EnumDevice> devices;
    detail::ThrowIfFailed(ad::OpenDeviceEnumerator(manager.get(), &devices));

    const DWORD wanted = type == 101 ? type : type - type % 100;
    HRESULT found = STG_E_FILENOTFOUND;
    ad::ForEachFetched<IAD_Device>(devices.get(), [&](IAD_Device* device) {
      ComPtr<IAD_DeviceType> typeObject;
      if (FAILED(device->GetDeviceType(typeObject.put())) || !typeObject) return true;
      EAD_DeviceType actual = EAD_DeviceType_None;
      const HRESULT typed = typeObject->GetType(&actual);
      if (FAILED(typed) || static_cast<DWORD>(actual) != wanted) return true;
      device->AddRef();
      *out = device;
      found = typed;
      return false;
    });
    return found;
  } catch (long code) {
    return static_cast<HRESULT>(code);
  }
}

void PresentPin(IAD_Device* device, const CertInfo* record) {
  if (record->pin) detail::ThrowIfFailed(device->PresentPIN(record->pin->c_str()));
}

ComPtr<IAD_KeyStorage> KeyStorageOf(IAD_Device* device) {
  ComPtr<IAD_KeyStorage> storage;
  ComPtr<IAD_Device>(device).As(&storage);
  if (!storage) detail::ThrowIfFailed(E_NOINTERFACE);
  return storage;
}

IdentObj IdentifierOf(IAD_Device* device) {
  const ad::DeviceId id = ad::ReadDeviceId(device);
  return IdentObj(id.data(), static_cast<DWORD>(id.size()));
}

DWORD ReadItem(IAD_KeyStorage* storage, IAD_Device* device, const std::string& name, RecordBuffer& buffer) {
  for (;;) {
    DWORD count = buffer.Capacity();
    detail::ThrowIfFailed(storage->Read(device, name.c_str(), buffer.Block(), &count));
    if (count < buffer.Capacity()) return count;
    // The item did not fit: grow by a step, or at once past the size the
    // component reported, so a large item costs two reads, not hundreds.
    if (count > kLargestItem) detail::ThrowIfFailed(E_OUTOFMEMORY);
    buffer.Regrow(std::max(buffer.Capacity() + kReadStep, count + kReadStep));
  }
}

void CheckRoom(IAD_Device* device, const CertInfo* record) {
  DWORD room = 0;
  detail::ThrowIfFailed(device->GetRoom(&room));
  if (room < record->data->GetObjectSize()) detail::ThrowIfFailed(TooErr2HResult(TOOERR_NO_ROOM));
}

void WriteItem(IAD_KeyStorage* storage, IAD_Device* device, const std::string& name, const CertInfo* record) {
  RecordBuffer buffer(0);
  buffer.Fill(record->data->pbData, record->data->GetObjectSize());
  DWORD count = buffer.Capacity() + 4;
  detail::ThrowIfFailed(storage->Write(device, name.c_str(), buffer.Block(), &count));
}

void SetPayload(CertInfo* record, RecordBuffer& buffer, DWORD count) {
  *record->data = count > 4 ? buffer.TakeBytes(4, count - 4) : IdentObj();
}

}  // namespace keydepot
