#include "device.h"

#include "objects/device_type.h"
#include "objects/named_objects.h"
#include "store/names.h"
#include "store/pin_hash.h"
#include "store/pin_tries.h"
#include "kdplatform/return_if_failed.h"

#include <cstring>

namespace nodyx {

namespace {

bool SameDevice(const DeviceRecord& a, const DeviceRecord& b) { return a.type == b.type && a.id == b.id; }

}  // namespace

HRESULT Device::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if ((IsEqualIID(iid, IID_IAD_KeyStorage) && !record_.keyStorage) ||
      (IsEqualIID(iid, IID_IAD_CryptoDevice) && !record_.cryptoDevice)) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  return Base::QueryInterface(iid, object);
}

HRESULT Device::GetID(DWORD* idSize, BYTE* id) { return CopyIdBytes(record_.id, idSize, id); }

HRESULT Device::GetIDText(char* text) {
  return WriteIdText(static_cast<DWORD>(record_.id.size()), record_.id.data(), text);
}

HRESULT Device::GetDeviceType(IAD_DeviceType** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const DeviceTypeInfo* info = FindDeviceType(record_.type);
  if (info == nullptr) return E_UNEXPECTED;  // descriptions of unknown types are never loaded
  return CreateAndQuery<DeviceType>(IID_IAD_DeviceType, reinterpret_cast<void**>(out), *info);
}

HRESULT Device::GetDisplayName(char* name) {
  if (name == nullptr) return E_POINTER;
  CopyTruncated(record_.displayName, name, AD_NAME_BUFFER);
  return S_OK;
}

HRESULT Device::GetSystemName(char* name) {
  if (name == nullptr) return E_POINTER;
  CopyTruncated(record_.systemName, name, AD_NAME_BUFFER);
  return S_OK;
}

HRESULT Device::GetSizeValue(DWORD* value) {
  if (value == nullptr) return E_POINTER;
  *value = record_.sizeValue;
  return S_OK;
}

HRESULT Device::GetRoom(DWORD* value) {
  if (value == nullptr) return E_POINTER;
  *value = record_.room;
  return S_OK;
}

HRESULT Device::PresentPIN(const char* pin) {
  if (pin == nullptr) return E_POINTER;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    KD_RETURN_IF_FAILED(Begin(nullptr, &fresh, &current));
    // Withdrawn first: a PIN whose check fails, or never ends, is not accepted.
    acceptedLogin_ = PinLogin::kNone;
    if (!current->pin) return S_OK;
    const std::string_view text(pin, strnlen(pin, kMaxPinBytes + 1));
    // The PIN the session accepted, against the same stored hash: only the
    // lock is looked at. A count left by wrong PINs from elsewhere takes the
    // counted way, which clears it.
    if (const std::uint64_t generation = login_->Matching(*current->pin, text); generation != PinLogin::kNone) {
      std::uint32_t wrong = 0;
      KD_RETURN_IF_FAILED(WrongPins(*current, &wrong));
      if (wrong == 0) {
        acceptedLogin_ = generation;
        return S_OK;
      }
    }
    const HRESULT checked = CheckPinCounted(store_, folder_, PinRole::kUser, *current->pin, current->pinTryLimit, text);
    if (FAILED(checked)) {
      login_->End();
      return checked;
    }
    acceptedLogin_ = login_->Accept(*current->pin, text);
    return acceptedLogin_ != PinLogin::kNone ? S_OK : E_OUTOFMEMORY;
  });
}

HRESULT Device::GetPinStatus(DWORD* triesLeft, DWORD* tryLimit, DWORD* flags) {
  if (triesLeft == nullptr || tryLimit == nullptr || flags == nullptr) return E_POINTER;
  *triesLeft = AD_PIN_TRIES_UNKNOWN;
  *tryLimit = AD_PIN_TRIES_UNKNOWN;
  *flags = 0;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    HRESULT hr = Begin(nullptr, &fresh, &current);
    KD_RETURN_IF_FAILED(hr);
    if (!current->pin) {
      *flags = AD_PIN_NOT_SET;
      return S_OK;
    }
    PinTries tries;
    hr = ReadPinTries(store_, folder_, &tries);
    KD_RETURN_IF_FAILED(hr);
    const std::uint32_t left = TriesLeft(tries.user, current->pinTryLimit);
    *triesLeft = left;
    *tryLimit = current->pinTryLimit;
    *flags =
        (tries.user != 0 ? AD_PIN_COUNT_LOW : 0) | (left == 1 ? AD_PIN_FINAL_TRY : 0) | (left == 0 ? AD_PIN_LOCKED : 0);
    return S_OK;
  });
}

HRESULT Device::GetDefaultContainer(DWORD* size, char* name) {
  if (size == nullptr) return E_POINTER;
  const std::string& container = record_.defaultContainer;
  if (container.empty()) return kNoDefaultContainer;
  // Names are at most 255 bytes when a device is created; a longer one from
  // a hand-edited description is cut to what the caller's buffer promises.
  const std::size_t length = std::min<std::size_t>(container.size(), AD_PATH_BUFFER - 1);
  const auto needed = static_cast<DWORD>(length + 1);
  if (name == nullptr || *size < needed) {
    *size = needed;
    return name == nullptr ? S_OK : HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  }
  CopyTruncated(container, name, needed);
  *size = needed;
  return S_OK;
}

HRESULT Device::Begin(IAD_Device* device, DeviceRecord* fresh, const DeviceRecord** current) const {
  if (device != nullptr && device != static_cast<const IAD_Device*>(this)) return E_INVALIDARG;
  // One look at the file's version instead of reading and parsing it.
  if (!record_.detached && store_.Unchanged(folder_, stamp_)) {
    *current = &record_;
    return S_OK;
  }
  const HRESULT hr = store_.Load(folder_, fresh);
  if (FAILED(hr) || fresh->detached || !SameDevice(*fresh, record_)) return kDeviceNotReady;
  *current = fresh;
  return S_OK;
}

HRESULT Device::CheckPin(const DeviceRecord& current) const {
  if (!current.pin) return S_OK;
  // A PIN accepted before the device locked (guesses from elsewhere) no
  // longer opens it.
  std::uint32_t wrong = 0;
  KD_RETURN_IF_FAILED(WrongPins(current, &wrong));
  return login_->Holds(acceptedLogin_, *current.pin) ? S_OK : kPinRequired;
}

HRESULT Device::WrongPins(const DeviceRecord& current, std::uint32_t* wrong) const {
  *wrong = 0;
  const PinLogin::CheckMoment moment = PinLogin::Now();
  if (login_->CleanAt(moment)) return S_OK;
  if (const auto clean = login_->CleanTries(); clean && PinTriesUnchanged(store_, folder_, *clean)) {
    login_->NoteClean(moment);
    return S_OK;
  }
  PinTries tries;
  std::optional<kdp::FileVersion> version;
  KD_RETURN_IF_FAILED(ReadPinTries(store_, folder_, &tries, &version));
  login_->SetCleanTries(tries.user == 0 ? version : std::nullopt);
  if (tries.user == 0) login_->NoteClean(moment);
  *wrong = tries.user;
  if (tries.user >= current.pinTryLimit) {
    login_->End();
    return kPinLocked;
  }
  return S_OK;
}

HRESULT Device::Read(IAD_Device* device, const char* name, BYTE* buffer, DWORD* count) {
  if (count == nullptr) return E_POINTER;
  if (buffer == nullptr && *count != 0) return E_POINTER;
  if (!IsValidStoreName(name)) return E_INVALIDARG;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    HRESULT hr = Begin(device, &fresh, &current);
    if (SUCCEEDED(hr)) hr = CheckPin(*current);
    KD_RETURN_IF_FAILED(hr);
    return store_.ReadItem(folder_, name, buffer, count);
  });
}

HRESULT Device::Write(IAD_Device* device, const char* name, const BYTE* data, DWORD* count) {
  if (count == nullptr) return E_POINTER;
  if (data == nullptr && *count != 0) return E_POINTER;
  if (!IsValidStoreName(name)) return E_INVALIDARG;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    HRESULT hr = Begin(device, &fresh, &current);
    if (SUCCEEDED(hr)) hr = CheckPin(*current);
    KD_RETURN_IF_FAILED(hr);
    if (*count > current->room) return kNoRoom;
    return store_.WriteItem(folder_, name, data, *count);
  });
}

HRESULT Device::Delete(IAD_Device* device, const char* name) {
  if (!IsValidStoreName(name)) return E_INVALIDARG;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    HRESULT hr = Begin(device, &fresh, &current);
    if (SUCCEEDED(hr)) hr = CheckPin(*current);
    KD_RETURN_IF_FAILED(hr);
    return store_.DeleteItem(folder_, name);
  });
}

HRESULT Device::Exists(IAD_Device* device, const char* name, BOOL* exists) {
  if (exists == nullptr) return E_POINTER;
  *exists = FALSE;
  if (!IsValidStoreName(name)) return E_INVALIDARG;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    HRESULT hr = Begin(device, &fresh, &current);
    KD_RETURN_IF_FAILED(hr);
    bool found = false;
    hr = store_.ItemExists(folder_, name, &found);
    *exists = found ? TRUE : FALSE;
    return hr;
  });
}

HRESULT Device::EnumItems(IAD_EnumStorageItems** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    HRESULT hr = Begin(nullptr, &fresh, &current);
    std::vector<std::string> names;
    if (SUCCEEDED(hr)) hr = store_.ListItems(folder_, &names);
    KD_RETURN_IF_FAILED(hr);
    return EnumerateItems(std::move(names), out);
  });
}

HRESULT Device::OpenContainer(IAD_Device* device, const char* name, IAD_Container** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsValidStoreName(name)) return E_INVALIDARG;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    HRESULT hr = Begin(device, &fresh, &current);
    bool found = false;
    if (SUCCEEDED(hr)) hr = store_.ContainerExists(folder_, name, &found);
    if (FAILED(hr) || !found) return hr;
    return CreateAndQuery<Container>(IID_IAD_Container, reinterpret_cast<void**>(out), std::string(name));
  });
}

HRESULT Device::EnumContainers(IAD_Device* device, IAD_EnumContainers** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return Guarded([&] {
    DeviceRecord fresh;
    const DeviceRecord* current = nullptr;
    HRESULT hr = Begin(device, &fresh, &current);
    std::vector<std::string> names;
    if (SUCCEEDED(hr)) hr = store_.ListContainers(folder_, &names);
    KD_RETURN_IF_FAILED(hr);
    return EnumerateContainers(std::move(names), out);
  });
}

HRESULT Device::GetFlag(IAD_Device* device, int* flag) {
  if (flag == nullptr) return E_POINTER;
  if (device != nullptr && device != static_cast<IAD_Device*>(this)) return E_INVALIDARG;
  *flag = record_.cryptoFlag;
  return S_OK;
}

}  // namespace nodyx
