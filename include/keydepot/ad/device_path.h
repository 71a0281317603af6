// Device paths: the key|value text that names a device by its type and
// identifier, plus a container on it, e.g. 1|2\5|3\17|ABC\8|keys.
//
// Fields are separated by backslashes; a field takes part only when it holds a
// vertical bar (key before it, value after it). Keys: 1 format version (1 =
// legacy raw identifier after key 7, 2 = identifier text at key 17; default
// 2), 5 device type (signed decimal), 7 legacy identifier length, 8 container
// name, 17 identifier text in the component's text form. The library never
// converts identifiers itself: each conversion opens a device-type filter on
// "c:\absent_file" to reach the component's device-type objects.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/ad/ref_cnt.h"
#include "keydepot/export.h"

#include <string>
#include <vector>

namespace keydepot::ad {

using DeviceId = std::vector<BYTE>;

// A parsed device path. Immutable; reference-counted (CRefCnt): the object
// ParseADPath delivers carries one reference for the caller, who gives it up
// with Release() (or by adopting it into a ComPtr).
class KEYDEPOT_TYPE_API IADPathProps : public CRefCnt {
 public:
  virtual EAD_DeviceType GetDeviceType() const = 0;
  virtual DeviceId GetDeviceIDBytes() const = 0;
  // The identifier in the component's text form; 0 (or a positive code of the
  // component) with *text set, E_UNEXPECTED without type or identifier, or the
  // component's failure code.
  virtual HRESULT GetDeviceIDText(std::string& text) const = 0;
  virtual std::string GetContainerName() const = 0;
};

// Parses a device path. 0 with *out set (one reference for the caller);
// E_INVALIDARG for a null out or an empty path; E_UNEXPECTED when no device
// type or no identifier results. *out is untouched on failure. When the
// device-type filter cannot be opened its code is thrown as `long`.
KEYDEPOT_API HRESULT ParseADPath(const std::string& path, IADPathProps** out);

// Writes 1|2\5|<type>\17|<identifier text>\8|<container>. Returns the
// component's non-negative conversion result, or a failure code with out
// unchanged (E_INVALIDARG for an empty identifier).
KEYDEPOT_API HRESULT MakeADPath(EAD_DeviceType type, DeviceId id, const std::string& container, std::string& out);
// The device path of a device, with an empty container. The caller keeps its
// reference to device.
KEYDEPOT_API HRESULT MakeDevicePath(IAD_Device* device, std::string& out);
// Whether two device paths name the same device (type and identifier bytes)
// and container (ignoring case; an empty and a non-empty name differ). 0 with
// equal set, or the parse failure of the first text that failed (equal
// untouched). A failing device-type filter throws `long`.
KEYDEPOT_API HRESULT IsADPathEqual(const std::string& first, const std::string& second, bool& equal);

}  // namespace keydepot::ad
