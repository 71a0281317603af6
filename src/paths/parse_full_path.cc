// Telling the forms of a full storage path apart and splitting it.
#include "ad/device_location.h"
#include "keydepot/ad/device_path.h"
#include "keydepot/storage_path.h"
#include "paths/path_parts.h"
#include "last_error.h"

namespace keydepot {
namespace {

struct Parts {
  bool isDevice = true;
  std::string location;
  std::string container;
  std::string subName;
};

// The container of "\\!\T\D\K": after a doubled backslash at or after the
// prefix, else after the second single backslash behind the prefix.
std::string NamedDeviceContainer(const std::string& s) {
  const size_t doubled = s.find("\\\\", kFormPrefixLength);
  if (doubled != std::string::npos) return s.substr(doubled + 2);
  const size_t q = s.find('\\', kFormPrefixLength);
  if (q == std::string::npos) return std::string();
  const size_t r = s.find('\\', q + 1);
  return r == std::string::npos ? std::string() : s.substr(r + 1);
}

// The container of "\\.\N\K": after the first backslash behind the prefix,
// empty when it is only spaces.
std::string SystemNameContainer(const std::string& s) {
  const size_t q = s.find('\\', kFormPrefixLength);
  if (q == std::string::npos) return std::string();
  std::string rest = s.substr(q + 1);
  if (rest.find_first_not_of(' ') == std::string::npos) return std::string();
  return rest;
}

// Returns 0, or the failure of parsing or rebuilding the device path.
HRESULT SplitDevicePath(const std::string& s, Parts& parts) {
  HRESULT failure = S_OK;
  try {
    ad::IADPathProps* parsed = nullptr;
    failure = ad::ParseADPath(s, &parsed);
    if (SUCCEEDED(failure)) {
      const auto props = ComPtr<ad::IADPathProps>::Adopt(parsed);
      parts.container = props->GetContainerName();
      std::string location;
      const HRESULT made = ad::MakeADPath(props->GetDeviceType(), props->GetDeviceIDBytes(), std::string(), location);
      if (FAILED(made)) {
        failure = made;
      } else {
        parts.location = std::move(location);
        failure = S_OK;
      }
    }
  } catch (long code) {
    // A device-type filter that cannot be opened fails the parse like any
    // other parse failure.
    failure = static_cast<HRESULT>(code);
  }
  if (!parts.container.empty()) {
    ContainerAndSubName cut = CutSubName(parts.container);
    parts.container = std::move(cut.container);
    parts.subName = std::move(cut.subName);
  }
  return failure;
}

void SplitFileSystem(const std::string& s, Parts& parts) {
  parts.isDevice = false;
  ContainerAndSubName cut = CutSubName(s);
  const std::string path = std::move(cut.container);
  parts.subName = std::move(cut.subName);

  const PathStatus status = QueryPathStatus(path);
  if (status.exists && status.isDirectory) {
    parts.location = path;
    return;
  }
  FileSystemParts split = SplitFileSystemPath(path);
  parts.location = split.drive + split.directory;
  parts.container = split.fileName + split.extension;
}

}  // namespace

bool ParseFullPath(const char* path, bool* isDevice, CTOOString* location, CTOOString* container,
                   CTOOString* subName) {
  const std::string s = path ? path : "";
  Parts parts;
  bool result = true;
  switch (FormOf(s)) {
    case PathForm::kNamedDevice: parts.container = NamedDeviceContainer(s); break;
    case PathForm::kSystemName: parts.container = SystemNameContainer(s); break;
    case PathForm::kDevicePath:
      if (const HRESULT failure = SplitDevicePath(s, parts); FAILED(failure)) {
        detail::FailWithHResultCode(failure);
        result = false;
      }
      break;
    case PathForm::kFileSystem: SplitFileSystem(s, parts); break;
  }

  if (isDevice) *isDevice = parts.isDevice;
  if (location) *location = parts.location.c_str();
  if (container) *container = parts.container.c_str();
  if (subName) *subName = parts.subName.c_str();
  return result;
}

}  // namespace keydepot
