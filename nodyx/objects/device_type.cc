#include "objects/device_type.h"

#include "store/device_store.h"
#include "store/hex.h"
#include "store/names.h"

#include <algorithm>
#include <cstring>

namespace nodyx {

HRESULT WriteIdText(DWORD idSize, const BYTE* id, char* text) {
  if (text == nullptr) return E_POINTER;
  if (id == nullptr || idSize == 0 || idSize > kMaxIdBytes) return E_INVALIDARG;
  static_assert(kMaxIdBytes * 2 < AD_ID_TEXT_BUFFER);
  ToHex(id, idSize, text);
  text[idSize * 2] = '\0';
  return S_OK;
}

HRESULT CopyIdBytes(std::span<const std::uint8_t> bytes, DWORD* size, BYTE* buffer) {
  if (size == nullptr) return E_POINTER;
  const auto needed = static_cast<DWORD>(bytes.size());
  const bool fits = buffer == nullptr || *size >= needed;
  if (buffer != nullptr && fits) std::memcpy(buffer, bytes.data(), needed);
  *size = needed;
  return fits ? S_OK : HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
}

HRESULT DeviceType::GetType(EAD_DeviceType* type) {
  if (type == nullptr) return E_POINTER;
  *type = static_cast<EAD_DeviceType>(info_.number);
  return S_OK;
}

HRESULT DeviceType::GetTypeName(char* name) {
  if (name == nullptr) return E_POINTER;
  CopyTruncated(info_.name, name, AD_NAME_BUFFER);
  return S_OK;
}

HRESULT DeviceType::GetDisplayName(DWORD idSize, const BYTE* id, char* name) {
  if (name == nullptr) return E_POINTER;
  if (id == nullptr || idSize == 0) return E_INVALIDARG;
  return Guarded([&] {
    // An attached device with this identifier names itself; otherwise the
    // type name and the identifier text stand in.
    std::string label;
    if (findLabel_ != nullptr && findLabel_(id, idSize, &label)) {
      CopyTruncated(label, name, AD_NAME_BUFFER);
      return S_OK;
    }
    std::string root;
    if (info_.family == DeviceFamily::Folder && SUCCEEDED(DeviceStore::DefaultRoot(&root))) {
      for (const auto& entry : DeviceStore(root).Scan()) {
        const auto& r = entry.record;
        if (!r.detached && r.type == info_.number && r.id.size() == idSize &&
            std::equal(r.id.begin(), r.id.end(), id)) {
          CopyTruncated(r.displayName, name, AD_NAME_BUFFER);
          return S_OK;
        }
      }
    }
    // The name buffer holds 255 characters: 127 identifier bytes at most.
    const DWORD shown = std::min<DWORD>(idSize, 100);
    CopyTruncated(std::string(info_.name) + " " + ToHex(id, shown), name, AD_NAME_BUFFER);
    return S_OK;
  });
}

HRESULT DeviceType::IdToText(DWORD idSize, const BYTE* id, char* text) { return WriteIdText(idSize, id, text); }

HRESULT DeviceType::TextToId(const char* text, DWORD* idSize, BYTE* id) {
  if (text == nullptr || idSize == nullptr) return E_POINTER;
  const std::size_t length = strnlen(text, kMaxIdBytes * 2 + 1);
  if (length > kMaxIdBytes * 2) return E_INVALIDARG;
  std::uint8_t bytes[kMaxIdBytes];
  if (!FromHex(std::string_view(text, length), bytes)) return E_INVALIDARG;
  return CopyIdBytes(std::span<const std::uint8_t>(bytes, length / 2), idSize, id);
}

}  // namespace nodyx
