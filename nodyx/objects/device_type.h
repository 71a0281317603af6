// IAD_DeviceType: one entry of the type table and the identifier text form
// (upper-case hex, see store/hex.h).
#pragma once

#include "com_support.h"
#include "keydepot/ad/component.h"
#include "kdplatform/com_object.h"
#include "store/device_types.h"

#include <cstdint>
#include <span>
#include <vector>

namespace nodyx {

class DeviceType final : public kdp::ComObject<DeviceType, IAD_DeviceType> {
 public:
  explicit DeviceType(const DeviceTypeInfo& info) : info_(info) {}

  HRESULT STDMETHODCALLTYPE GetType(EAD_DeviceType* type) override;
  HRESULT STDMETHODCALLTYPE GetTypeName(char* name) override;
  NODYX_RESERVED_SLOT(5)
  NODYX_RESERVED_SLOT(6)
  NODYX_RESERVED_SLOT(7)
  NODYX_RESERVED_SLOT(8)
  NODYX_RESERVED_SLOT(9)
  NODYX_RESERVED_SLOT(10)
  NODYX_RESERVED_SLOT(11)
  NODYX_RESERVED_SLOT(12)
  NODYX_RESERVED_SLOT(13)
  NODYX_RESERVED_SLOT(14)
  NODYX_RESERVED_SLOT(15)
  HRESULT STDMETHODCALLTYPE GetDisplayName(DWORD idSize, const BYTE* id, char* name) override;
  HRESULT STDMETHODCALLTYPE IdToText(DWORD idSize, const BYTE* id, char* text) override;
  HRESULT STDMETHODCALLTYPE TextToId(const char* text, DWORD* idSize, BYTE* id) override;

 private:
  const DeviceTypeInfo info_;
};

// Writes the text form of an identifier into a buffer of AD_ID_TEXT_BUFFER
// bytes. E_INVALIDARG for an empty identifier or one over kMaxIdBytes.
HRESULT WriteIdText(DWORD idSize, const BYTE* id, char* text);

// Hands out identifier bytes by the size-query convention: a null buffer
// gets the size; a buffer smaller than that gets
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) and the size, untouched.
HRESULT CopyIdBytes(std::span<const std::uint8_t> bytes, DWORD* size, BYTE* buffer);

}  // namespace nodyx
