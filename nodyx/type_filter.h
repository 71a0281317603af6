// The device-type filter: which device types a device manager enumerates.
// Kept by the device-type manager, read from and written to
// "device_type_filter.xml":
//
//   <deviceTypeFilter version="1">
//     <deviceType number="100" name="SoftToken" enabled="false"/>
//   </deviceTypeFilter>
//
// A type without an entry is enabled. "name" is written for people reading
// the file and ignored when it is read.
#pragma once

#include "keydepot/ad/component.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace nodyx {

struct TypeFilter {
  std::map<std::int32_t, bool> enabled;

  bool IsEnabled(std::int32_t type) const {
    const auto it = enabled.find(type);
    return it == enabled.end() || it->second;
  }
};

// The filter a file's text describes (filter_xml.h reads the XML).
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA) when it is not one: not XML, no
// deviceTypeFilter document element, a NUL byte, elements nested deeper than
// kMaxFilterXmlDepth, a deviceType without a decimal 32-bit "number".
// *filter changes only on success.
HRESULT ParseTypeFilter(std::string_view text, TypeFilter* filter);

// The text SaveTypeFilter writes: every known type and every other number
// the filter holds, each with its name when the type is known.
HRESULT FormatTypeFilter(const TypeFilter& filter, std::string* text);

// ParseTypeFilter of a file of at most 64 KiB (a larger one is invalid data).
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the file is missing (or is
// not a file), and when kdp::CheckTrusted does not vouch for it: a filter file
// that another user could have written or swapped is treated as no file.
HRESULT LoadTypeFilter(const std::string& nativePath, TypeFilter* filter);

// Writes FormatTypeFilter's text, replacing the file atomically with one
// that every user may read and only its owner write. The folder must exist.
// A text larger than LoadTypeFilter reads is not written
// (HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)).
HRESULT SaveTypeFilter(const std::string& nativePath, const TypeFilter& filter);

// Private interface of this component's device-type manager, through which
// its device manager reads the filter. Device-type managers of other
// components do not answer it and then filter nothing.
KDP_INTERFACE INodyxTypeFilter : public IUnknown {
  virtual BOOL STDMETHODCALLTYPE IsTypeEnabled(EAD_DeviceType type) = 0;
};
inline constexpr IID IID_INodyxTypeFilter = {
    0x6A4E21C7, 0x3B0F, 0x4D8E, {0x9C, 0x51, 0x27, 0xE0, 0x8B, 0x44, 0x1D, 0x93}};

}  // namespace nodyx

KDP_DECLARE_IID(nodyx::INodyxTypeFilter, nodyx::IID_INodyxTypeFilter);
