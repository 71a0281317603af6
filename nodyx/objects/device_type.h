// IAD_DeviceType: one entry of the type table and the identifier text form
// (upper-case hex, see store/hex.h).
#pragma once

#include "base/com_support.h"
#include "keydepot/ad/component.h"
#include "kdplatform/com_object.h"
#include "store/device_types.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nodyx {

// Finds the label of the attached device of a type's family with identifier
// `id` (false: none attached). The family's own layer supplies it, so that
// this object knows no family above the store.
using DeviceLabelFinder = bool (*)(const std::uint8_t* id, std::size_t size, std::string* label);

class DeviceType final : public kdp::ComObject<DeviceType, IAD_DeviceType> {
 public:
  // findLabel names attached devices of the family (nullptr: the store's
  // folder devices, or none).
  explicit DeviceType(const DeviceTypeInfo& info, DeviceLabelFinder findLabel = nullptr)
      : info_(info), findLabel_(findLabel) {}

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
  const DeviceLabelFinder findLabel_;
};

// Writes the text form of an identifier into a buffer of AD_ID_TEXT_BUFFER
// bytes. E_INVALIDARG for an empty identifier or one over kMaxIdBytes.
HRESULT WriteIdText(DWORD idSize, const BYTE* id, char* text);

// Hands out identifier bytes by the size-query convention: a null buffer
// gets the size; a buffer smaller than that gets
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) and the size, untouched.
HRESULT CopyIdBytes(std::span<const std::uint8_t> bytes, DWORD* size, BYTE* buffer);

}  // namespace nodyx
