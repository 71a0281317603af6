#include "token_device.h"

#include "container_of_id.h"
#include "data_objects.h"
#include "objects/device_type.h"
#include "key_containers.h"
#include "objects/named_objects.h"
#include "base/result_codes.h"
#include "store/names.h"
#include "kdplatform/return_if_failed.h"

#include <algorithm>
#include <cstring>

namespace nodyx::pkcs11 {

namespace {

constexpr DWORD kUnknownSize = 0xFFFFFFFFu;

}  // namespace

template <class Body>
HRESULT TokenDevice::WithSession(IAD_Device* device, bool needsLogin, Body&& body) {
  if (device != nullptr && device != static_cast<IAD_Device*>(this)) return E_INVALIDARG;
  return Guarded([&] {
    std::lock_guard lock(mutex_);
    if (needsLogin) {
      KD_RETURN_IF_FAILED(session_.CheckLoggedIn());
    }
    return body();
  });
}

HRESULT TokenDevice::GetID(DWORD* idSize, BYTE* id) { return CopyIdBytes(token().id, idSize, id); }

HRESULT TokenDevice::GetIDText(char* text) {
  return WriteIdText(static_cast<DWORD>(token().id.size()), token().id.data(), text);
}

HRESULT TokenDevice::GetDeviceType(IAD_DeviceType** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return CreateAndQuery<DeviceType>(IID_IAD_DeviceType, reinterpret_cast<void**>(out),
                                    *FindDeviceType(kPkcs11TokenType), &FindTokenLabel);
}

HRESULT TokenDevice::GetDisplayName(char* name) {
  if (name == nullptr) return E_POINTER;
  CopyTruncated(token().label, name, AD_NAME_BUFFER);
  return S_OK;
}

const SlotDetails& TokenDevice::Slot() {
  if (!slot_) slot_ = ReadSlot(*token().module, token().slot);
  return *slot_;
}

HRESULT TokenDevice::GetSystemName(char* name) {
  if (name == nullptr) return E_POINTER;
  return WithSession(nullptr, false, [&] {
    CopyTruncated(Slot().description, name, AD_NAME_BUFFER);
    return S_OK;
  });
}

HRESULT TokenDevice::Memory(CK_ULONG CK_TOKEN_INFO::*field, DWORD* value) {
  if (value == nullptr) return E_POINTER;
  return WithSession(nullptr, false, [&] {
    CK_TOKEN_INFO info{};
    KD_RETURN_IF_FAILED(session_.Info(&info));
    const CK_ULONG bytes = info.*field;
    *value = bytes == CK_UNAVAILABLE_INFORMATION || bytes > kUnknownSize ? kUnknownSize : static_cast<DWORD>(bytes);
    return S_OK;
  });
}

HRESULT TokenDevice::GetSizeValue(DWORD* value) { return Memory(&CK_TOKEN_INFO::ulTotalPrivateMemory, value); }

HRESULT TokenDevice::GetRoom(DWORD* value) { return Memory(&CK_TOKEN_INFO::ulFreePrivateMemory, value); }

HRESULT TokenDevice::GetPinStatus(DWORD* triesLeft, DWORD* tryLimit, DWORD* flags) {
  if (triesLeft == nullptr || tryLimit == nullptr || flags == nullptr) return E_POINTER;
  *triesLeft = *tryLimit = AD_PIN_TRIES_UNKNOWN;
  *flags = 0;
  return WithSession(nullptr, false, [&] {
    CK_TOKEN_INFO info{};
    KD_RETURN_IF_FAILED(session_.Info(&info));
    if ((info.flags & CKF_USER_PIN_COUNT_LOW) != 0) *flags |= AD_PIN_COUNT_LOW;
    if ((info.flags & CKF_USER_PIN_FINAL_TRY) != 0) {
      *flags |= AD_PIN_FINAL_TRY;
      *triesLeft = 1;
    }
    if ((info.flags & CKF_USER_PIN_LOCKED) != 0) {
      *flags |= AD_PIN_LOCKED;
      *triesLeft = 0;
    }
    return S_OK;
  });
}

HRESULT TokenDevice::GetTokenInfo(AD_TokenInfo* out) {
  if (out == nullptr) return E_POINTER;
  return WithSession(nullptr, false, [&] {
    CK_TOKEN_INFO info{};
    KD_RETURN_IF_FAILED(session_.Info(&info));
    static_assert(sizeof out->label == sizeof info.label && sizeof out->manufacturer == sizeof info.manufacturerID &&
                  sizeof out->model == sizeof info.model && sizeof out->serial == sizeof info.serialNumber);
    std::memcpy(out->label, info.label, sizeof out->label);
    std::memcpy(out->manufacturer, info.manufacturerID, sizeof out->manufacturer);
    std::memcpy(out->model, info.model, sizeof out->model);
    std::memcpy(out->serial, info.serialNumber, sizeof out->serial);
    return S_OK;
  });
}

HRESULT TokenDevice::GetContainerOfId(DWORD idSize, const BYTE* id, char* name) {
  if (name == nullptr || (id == nullptr && idSize != 0)) return E_POINTER;
  name[0] = '\0';
  return WithSession(nullptr, false, [&] {
    std::string found;
    KD_RETURN_IF_FAILED(ContainerOfId(session_, {id, idSize}, &found));
    if (found.empty() || found.size() >= AD_NAME_BUFFER) return kItemNotFound;
    std::memcpy(name, found.c_str(), found.size() + 1);
    return S_OK;
  });
}

HRESULT TokenDevice::PresentPIN(const char* pin) {
  if (pin == nullptr) return E_POINTER;
  const std::string_view text(pin, strnlen(pin, TokenSession::kMaxPinBytes + 1));
  return WithSession(nullptr, false, [&] { return session_.Login(text); });
}

HRESULT TokenDevice::GetDefaultContainer(DWORD* size, char* /*name*/) {
  if (size == nullptr) return E_POINTER;
  return kNoDefaultContainer;
}

HRESULT TokenDevice::Read(IAD_Device* device, const char* name, BYTE* buffer, DWORD* count) {
  if (count == nullptr) return E_POINTER;
  if (buffer == nullptr && *count != 0) return E_POINTER;
  if (!IsValidObjectName(name)) return E_INVALIDARG;
  return WithSession(device, true, [&] { return ReadItem(session_, name, buffer, count); });
}

HRESULT TokenDevice::Write(IAD_Device* device, const char* name, const BYTE* data, DWORD* count) {
  if (count == nullptr) return E_POINTER;
  if (data == nullptr && *count != 0) return E_POINTER;
  if (!IsValidObjectName(name)) return E_INVALIDARG;
  return WithSession(device, true, [&] { return WriteItem(session_, name, data, *count); });
}

HRESULT TokenDevice::WriteCertificate(const char* name, const BYTE* der, DWORD count) {
  if (der == nullptr && count != 0) return E_POINTER;
  if (!IsValidObjectName(name)) return E_INVALIDARG;
  return WithSession(nullptr, true, [&] { return pkcs11::WriteCertificate(session_, name, der, count); });
}

HRESULT TokenDevice::GetKeyObjects(const char* name, DWORD* count, AD_KeyObject* keys) {
  if (count == nullptr) return E_POINTER;
  if (keys == nullptr && *count != 0) return E_POINTER;
  if (!IsValidObjectName(name)) return E_INVALIDARG;
  return WithSession(nullptr, false, [&] {
    ContainerObjects container;
    std::vector<AD_KeyObject> described;
    HRESULT hr = FindContainer(session_, name, &container);
    if (SUCCEEDED(hr)) hr = DescribeKeys(session_, container.keys, &described);
    KD_RETURN_IF_FAILED(hr);
    if (described.size() <= *count) std::copy(described.begin(), described.end(), keys);
    *count = static_cast<DWORD>(described.size());
    return S_OK;
  });
}

HRESULT TokenDevice::Delete(IAD_Device* device, const char* name) {
  if (!IsValidObjectName(name)) return E_INVALIDARG;
  return WithSession(device, true, [&] { return DeleteItem(session_, name); });
}

HRESULT TokenDevice::Exists(IAD_Device* device, const char* name, BOOL* exists) {
  if (exists == nullptr) return E_POINTER;
  *exists = FALSE;
  if (!IsValidObjectName(name)) return E_INVALIDARG;
  return WithSession(device, true, [&] {
    bool found = false;
    const HRESULT hr = ItemExists(session_, name, &found);
    *exists = found ? TRUE : FALSE;
    return hr;
  });
}

HRESULT TokenDevice::EnumItems(IAD_EnumStorageItems** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return WithSession(nullptr, true, [&] {
    std::vector<std::string> names;
    const HRESULT hr = ListItems(session_, &names);
    return FAILED(hr) ? hr : EnumerateItems(std::move(names), out);
  });
}

HRESULT TokenDevice::OpenContainer(IAD_Device* device, const char* name, IAD_Container** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsValidObjectName(name)) return E_INVALIDARG;
  return WithSession(device, false, [&] {
    bool found = false;
    const HRESULT hr = ContainerExists(session_, name, &found);
    if (FAILED(hr) || !found) return hr;
    return CreateAndQuery<Container>(IID_IAD_Container, reinterpret_cast<void**>(out), std::string(name));
  });
}

HRESULT TokenDevice::EnumContainers(IAD_Device* device, IAD_EnumContainers** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return WithSession(device, false, [&] {
    std::vector<std::string> names;
    const HRESULT hr = ListContainers(session_, &names);
    return FAILED(hr) ? hr : EnumerateContainers(std::move(names), out);
  });
}

HRESULT TokenDevice::GetFlag(IAD_Device* device, int* flag) {
  if (flag == nullptr) return E_POINTER;
  return WithSession(device, false, [&] {
    *flag = Slot().hardware ? 1 : 0;
    return S_OK;
  });
}

}  // namespace nodyx::pkcs11
