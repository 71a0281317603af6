// Reading what a device tells about itself. Every function throws a failing
// component result as `long`; the callers catch it where a failure ends their
// unit of work.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/ad/device_path.h"
#include "throw_if_failed.h"

#include <string>

namespace keydepot::ad {

// Calls read(buffer) with a zeroed buffer of Size bytes and returns the text
// up to its terminator (the last byte is forced to 0, so a text without one
// cannot be read past the buffer).
template <DWORD Size, class Read>
std::string ReadText(Read&& read) {
  char buffer[Size] = {};
  detail::ThrowIfFailed(read(buffer));
  buffer[Size - 1] = '\0';
  return buffer;
}

// Multibyte comparison ignoring case, as names from the component are compared.
inline bool SameName(const std::string& a, const std::string& b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                  reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

// The device's type object (never null on return).
ComPtr<IAD_DeviceType> DeviceTypeObjectOf(IAD_Device* device);
// The device's type number.
EAD_DeviceType DeviceTypeOf(IAD_Device* device);
// A device that reports a longer identifier is refused: a bogus size must not
// make the library allocate gigabytes.
inline constexpr DWORD kMaxDeviceIdBytes = 64 * 1024;
// The device's identifier bytes, as many as its size query reports (maybe
// none). A size above kMaxDeviceIdBytes throws
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA).
DeviceId ReadDeviceId(IAD_Device* device);
// The same, but an identifier of length 0 throws E_UNEXPECTED.
DeviceId DeviceIdentifierOf(IAD_Device* device);
// The device path of container on device (MakeADPath's text); its result
// is stored in *made when given.
std::string DevicePathOf(IAD_Device* device, const std::string& container, HRESULT* made = nullptr);

}  // namespace keydepot::ad
