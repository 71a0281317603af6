// Reading what a device tells about itself. Every function returns the
// failing component result and leaves its out-parameter as it was; values
// come back through out-parameters.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/ad/device_path.h"
#include "kdplatform/return_if_failed.h"

#include <string>

namespace keydepot::detail {

// Calls read(buffer) with a zeroed buffer of Size bytes and sets text to the
// text up to its terminator (the last byte is forced to 0, so a text without
// one cannot be read past the buffer).
template <DWORD Size, class Read>
HRESULT ReadText(Read&& read, std::string& text) {
  char buffer[Size] = {};
  KD_RETURN_IF_FAILED(read(buffer));
  buffer[Size - 1] = '\0';
  text = buffer;
  return S_OK;
}

// Multibyte comparison ignoring case, as names from the component are compared.
inline bool SameName(const std::string& a, const std::string& b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                  reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

// The device's type object (never null on success; a device that gives none
// fails with E_UNEXPECTED).
HRESULT DeviceTypeObjectOf(IAD_Device* device, ComPtr<IAD_DeviceType>& typeObject);
// The device's type number.
HRESULT DeviceTypeOf(IAD_Device* device, EAD_DeviceType& type);
// A device that reports a longer identifier is refused: a bogus size must not
// make the library allocate gigabytes.
inline constexpr DWORD kMaxDeviceIdBytes = 64 * 1024;
// The device's identifier bytes, as many as its size query reports (maybe
// none). A size above kMaxDeviceIdBytes fails with
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA).
HRESULT ReadDeviceIdMaybeEmpty(IAD_Device* device, ad::DeviceId& id);
// The same, but an identifier of length 0 fails with E_UNEXPECTED.
HRESULT ReadNonEmptyDeviceId(IAD_Device* device, ad::DeviceId& id);
// The device path of container on device: MakeADPath's result and text.
HRESULT DevicePathOf(IAD_Device* device, const std::string& container, std::string& path);

}  // namespace keydepot::detail
