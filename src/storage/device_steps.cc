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

bool detail::FinishOperation(HRESULT result) {
  if (SUCCEEDED(result)) return true;
  detail::SetLastErrorStore(HResult2ToolsErr(result));
  return false;
}

namespace {

// Every reference an operation takes goes before its end is recorded.
HRESULT SaveItem(const DeviceFinder& find, const std::string& item, const CertInfo* record,
                 const AfterChange& afterChange) {
  {
    ComPtr<IAD_Device> device;
    KD_RETURN_IF_FAILED(find(record->session, device));
    KD_RETURN_IF_FAILED(CheckRoom(device.get(), record));
    KD_RETURN_IF_FAILED(PresentPin(device.get(), record));
    ComPtr<IAD_KeyStorage> storage;
    KD_RETURN_IF_FAILED(KeyStorageOf(device.get(), storage));
    KD_RETURN_IF_FAILED(WriteItem(storage.get(), device.get(), item, record));
  }
  return afterChange ? afterChange() : S_OK;
}

HRESULT DeleteItem(const DeviceFinder& find, const std::string& item, const CertInfo* record,
                   const AfterChange& afterChange) {
  {
    ComPtr<IAD_Device> device;
    KD_RETURN_IF_FAILED(find(record->session, device));
    KD_RETURN_IF_FAILED(PresentPin(device.get(), record));
    ComPtr<IAD_KeyStorage> storage;
    KD_RETURN_IF_FAILED(KeyStorageOf(device.get(), storage));
    KD_RETURN_IF_FAILED(storage->Delete(device.get(), item.c_str()));
  }
  return afterChange ? afterChange() : S_OK;
}

}  // namespace

HRESULT ReadItemOnDevice(const DeviceFinder& find, const std::string& item, CertInfo* record, RecordBuffer& buffer,
                         DWORD& count) {
  ComPtr<IAD_Device> device;
  KD_RETURN_IF_FAILED(find(record->session, device));
  KD_RETURN_IF_FAILED(PresentPin(device.get(), record));
  KD_RETURN_IF_FAILED(IdentifierOf(device.get(), record->deviceId));
  ComPtr<IAD_KeyStorage> storage;
  KD_RETURN_IF_FAILED(KeyStorageOf(device.get(), storage));
  return ReadItem(storage.get(), device.get(), item, buffer, count);
}

namespace {

HRESULT SizeValue(const DeviceFinder& find, DWORD session, DWORD& value) {
  ComPtr<IAD_Device> device;
  KD_RETURN_IF_FAILED(find(session, device));
  return device->GetSizeValue(&value);
}

HRESULT IdentifierInSession(const DeviceFinder& find, DWORD session, IdentObj& id) {
  ComPtr<IAD_Device> device;
  KD_RETURN_IF_FAILED(find(session, device));
  return IdentifierOf(device.get(), id);
}

}  // namespace

bool SaveItemOnDevice(const DeviceFinder& find, const std::string& item, const CertInfo* record,
                      const AfterChange& afterChange) {
  detail::SetLastErrorStore(0);
  return detail::FinishOperation(SaveItem(find, item, record, afterChange));
}

bool DeleteItemOnDevice(const DeviceFinder& find, const std::string& item, const CertInfo* record,
                        const AfterChange& afterChange) {
  detail::SetLastErrorStore(0);
  return detail::FinishOperation(DeleteItem(find, item, record, afterChange));
}

DWORD SizeValueOfDevice(const DeviceFinder& find, const CertInfo* record) {
  DWORD value = 0;
  detail::FinishOperation(SizeValue(find, record->session, value));
  return value;
}

IdentObj IdentifierInOwnSession(const DeviceFinder& find) {
  detail::SetLastErrorStore(0);
  IdentObj result;
  HRESULT hr = S_OK;
  try {
    const ad::Session own(nullptr);
    hr = IdentifierInSession(find, own, result);
  } catch (long code) {  // the session cannot be opened
    hr = static_cast<HRESULT>(code);
  }
  detail::FinishOperation(hr);
  return result;
}

HRESULT FindDeviceByType(DWORD session, DWORD type, IAD_Device** out) {
  HRESULT hr = S_OK;
  detail::SessionManager manager = detail::SessionDeviceManager(session, &hr);
  if (!manager) return hr;
  if (!out) return E_INVALIDARG;
  ComPtr<IAD_EnumDevice> devices;
  KD_RETURN_IF_FAILED(detail::OpenDeviceEnumerator(manager.get(), &devices));

  const DWORD wanted = type == 101 ? type : type - type % 100;
  HRESULT found = STG_E_FILENOTFOUND;
  detail::ForEachFetched<IAD_Device>(devices.get(), [&](IAD_Device* device) {
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
}

HRESULT PresentPin(IAD_Device* device, const CertInfo* record) {
  return record->pin ? device->PresentPIN(record->pin->c_str()) : S_OK;
}

HRESULT KeyStorageOf(IAD_Device* device, ComPtr<IAD_KeyStorage>& storage) {
  ComPtr<IAD_KeyStorage> found;
  ComPtr<IAD_Device>(device).As(&found);
  if (!found) return E_NOINTERFACE;
  storage = std::move(found);
  return S_OK;
}

HRESULT IdentifierOf(IAD_Device* device, IdentObj& id) {
  ad::DeviceId bytes;
  KD_RETURN_IF_FAILED(detail::ReadDeviceIdMaybeEmpty(device, bytes));
  id = IdentObj(bytes.data(), static_cast<DWORD>(bytes.size()));
  return S_OK;
}

HRESULT ReadItem(IAD_KeyStorage* storage, IAD_Device* device, const std::string& name, RecordBuffer& buffer,
                 DWORD& count) {
  for (;;) {
    DWORD got = buffer.Capacity();
    KD_RETURN_IF_FAILED(storage->Read(device, name.c_str(), buffer.Block(), &got));
    if (got < buffer.Capacity()) {
      count = got;
      return S_OK;
    }
    // The item did not fit: grow by a step, or at once past the size the
    // component reported, so a large item costs two reads, not hundreds.
    if (got > kLargestItem) return E_OUTOFMEMORY;
    KD_RETURN_IF_FAILED(buffer.Regrow(std::max(buffer.Capacity() + kReadStep, got + kReadStep)));
  }
}

HRESULT CheckRoom(IAD_Device* device, const CertInfo* record) {
  DWORD room = 0;
  KD_RETURN_IF_FAILED(device->GetRoom(&room));
  return room < record->data->GetObjectSize() ? TooErr2HResult(TOOERR_NO_ROOM) : S_OK;
}

HRESULT WriteItem(IAD_KeyStorage* storage, IAD_Device* device, const std::string& name, const CertInfo* record) {
  RecordBuffer buffer;
  KD_RETURN_IF_FAILED(buffer.Fill(record->data->pbData, record->data->GetObjectSize()));
  DWORD count = buffer.Capacity() + 4;
  return storage->Write(device, name.c_str(), buffer.Block(), &count);
}

void SetPayload(CertInfo* record, RecordBuffer& buffer, DWORD count) {
  *record->data = count > 4 ? buffer.TakeBytes(4, count - 4) : IdentObj();
}

}  // namespace keydepot
