// Whether two full storage paths name the same storage place.
#include "keydepot/ad/device_path.h"
#include "keydepot/storage_path.h"
#include "last_error.h"

#include <string>

namespace keydepot {
namespace {

struct ParsedPath {
  bool isDevice = true;
  CTOOString location;
  CTOOString container;
  CTOOString subName;
};

ParsedPath Parse(const CTOOString& path) {
  ParsedPath parsed;
  ParseFullPath(path, &parsed.isDevice, &parsed.location, &parsed.container, &parsed.subName);
  return parsed;  // a failed parse is compared with the parts it left
}

// A storage name "DEV|..." (the text before the first '|' is exactly "DEV").
bool HasDeviceTag(const CTOOString& path) {
  const std::string text(static_cast<const char*>(path));
  return text.substr(0, text.find('|')) == "DEV";
}

CTOOString FileSystemText(const ParsedPath& p) {
  if (p.container.IsEmpty()) return p.location;
  CTOOString text = p.location;
  if (!text.IsEmpty()) text.StrAddSlash();
  text += p.container;
  return text;
}

}  // namespace

bool ArePathsEqual(const CTOOString& a, const CTOOString& b, bool compareSubNames) {
  const ParsedPath pa = Parse(a);
  const ParsedPath pb = Parse(b);
  if (pa.isDevice != pb.isDevice) return false;
  if (compareSubNames && pa.subName != pb.subName) return false;

  if (!pa.isDevice) {
    return TOOUtils::IsPathEqual(std::string(static_cast<const char*>(FileSystemText(pa))),
                                 std::string(static_cast<const char*>(FileSystemText(pb))));
  }

  if (pa.container != pb.container) return false;
  const bool taggedA = HasDeviceTag(a);
  const bool taggedB = HasDeviceTag(b);
  if (taggedA != taggedB) return false;
  if (taggedA) return pa.location == pb.location;

  bool equal = false;
  HRESULT hr = S_OK;
  try {
    hr = ad::IsADPathEqual(std::string(static_cast<const char*>(pa.location)),
                           std::string(static_cast<const char*>(pb.location)), equal);
  } catch (long code) {
    hr = static_cast<HRESULT>(code);  // a device-type filter that cannot be opened
  }
  if (FAILED(hr)) {
    detail::SetLastErrorStore(WinErr2ToolsErr(HRESULT_CODE(hr)));
    return false;
  }
  return equal;
}

bool ArePathsEqual(const IdentObj& a, const IdentObj& b, bool compareSubNames) {
  CTOOString ta;
  CTOOString tb;
  ta.Load(a.pbData, a.cbData);
  tb.Load(b.pbData, b.cbData);
  return ArePathsEqual(ta, tb, compareSubNames);
}

}  // namespace keydepot
