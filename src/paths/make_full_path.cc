// Completing a storage name into a full storage path that names one container.
#include "ad/device_location.h"
#include "ad/device_reading.h"
#include "ad/enumeration.h"
#include "keydepot/ad/device_path.h"
#include "keydepot/ad/devices.h"
#include "keydepot/ad/session.h"
#include "keydepot/storage_path.h"
#include "paths/full_path_constants.h"
#include "paths/path_parts.h"
#include "last_error.h"

#include <string>

namespace keydepot {
namespace {

// A success-severity result: a device was skipped after an error.
constexpr HRESULT kPartialSuccess = 0x00040301;

// The application-data folder followed by the containers folder, or false.
bool ContainersInAppData(bool allUsers, std::string& folder) {
  char buffer[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buffer, allUsers ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA, TRUE))
    return false;
  folder = std::string(buffer) + ContainersFolder();
  return true;
}

// The working state of one completion.
struct Work {
  detail::DeviceLocation criteria;  // type name, identifier text, device name
  std::string folder;
  std::string container;
  bool isDevice = true;
  bool isDevicePath = false;
};

// The path without its ":." sub-name (unchanged when it has none); false,
// with both last errors set, when the path cannot be parsed.
bool PathWithoutSubName(const char* path, std::string& result) {
  bool isDevice = false;
  CTOOString location;
  CTOOString container;
  CTOOString subName;
  if (!ParseFullPath(path, &isDevice, &location, &container, &subName)) {
    detail::FailWithToolkitCode(detail::LastErrorStore());
    return false;
  }
  if (subName.IsEmpty()) {
    result = path;
    return true;
  }
  location.StrAddSlash();
  location += container;
  result = static_cast<const char*>(location);
  return true;
}

// The file-system cases: a folder, or a file in a folder. False when the path
// cannot be parsed or the attributes of an existing path cannot be read (both
// last errors set).
bool ClassifyFileSystemPath(const std::string& name, Work& work) {
  work.isDevice = false;
  DWORD attributes = 3;  // no directory bit
  std::string withoutSubName;
  if (!PathWithoutSubName(name.c_str(), withoutSubName)) return false;
  if (CTOOFile::IsExists(withoutSubName.c_str())) {
    XTOOFile status(false);
    attributes = CTOOFile::Attributes(withoutSubName.c_str(), status);
    if (status.IsError()) {
      detail::FailWithToolkitCode(status.Status());
      return false;
    }
  }
  std::string drive;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    work.folder = name;
    drive = SplitFileSystemPath(name).drive;
  } else {
    FileSystemParts parts = SplitFileSystemPath(name);
    drive = parts.drive;
    work.folder = parts.drive + parts.directory;
    work.container = parts.fileName + parts.extension;
  }
  if (!drive.empty() && GetDriveTypeA(drive.c_str()) == DRIVE_REMOVABLE)
    work.folder = drive + ContainersFolder() + KDP_PATH_SEPARATOR;
  return true;
}

// Searches the silent session's devices for the first that matches; returns
// its device path with the container, or empty with *pending telling why.
std::string SearchDevices(const Work& work, HRESULT& pending) {
  const DWORD handle = ad::OpenSilentSession(nullptr);
  if (handle == 0) {
    pending = HRESULT_FROM_WIN32(static_cast<HRESULT>(GetLastError()));
    return {};
  }
  const ad::Session session(handle, false);  // closes the session on every way out

  ComPtr<IAD_EnumDevice> devices;
  pending = ad::GetDevicesEnum(handle, devices.put());
  if (FAILED(pending)) return {};

  std::string found;
  detail::ForEachFetched<IAD_Device>(devices.get(), [&](IAD_Device* device) {
    bool matches = false;
    if (SUCCEEDED(detail::DeviceMatches(device, work.criteria, matches)) && !matches) return true;
    if (matches && SUCCEEDED(detail::DevicePathOf(device, work.container, found))) return false;
    pending = kPartialSuccess;  // the device is abandoned; the search goes on
    return true;
  });
  return found;
}

bool CompleteDevicePath(CTOOString& fullPath, const CTOOString& name, const Work& work) {
  std::string result;
  HRESULT pending = S_OK;
  if (work.isDevicePath) {
    try {
      ad::IADPathProps* parsed = nullptr;
      HRESULT hr = ad::ParseADPath(static_cast<const char*>(name), &parsed);
      if (SUCCEEDED(hr)) {
        const auto props = ComPtr<ad::IADPathProps>::Adopt(parsed);
        hr = ad::MakeADPath(props->GetDeviceType(), props->GetDeviceIDBytes(), work.container, result);
      }
      if (FAILED(hr)) pending = hr;
    } catch (long code) {  // what the parse entry point throws
      pending = static_cast<HRESULT>(code);
    }
  } else {
    result = SearchDevices(work, pending);
  }
  // Success is judged by what this call found, never by what fullPath held.
  if (!result.empty()) {
    fullPath = result.c_str();
    return true;
  }
  detail::FailWithHResultCode(pending == S_OK ? HRESULT_FROM_WIN32(ERROR_INVALID_NAME) : pending);
  return false;
}

bool MakeFullPathWorker(CTOOString& fullPath, const CTOOString& nameText, const CTOOString& containerArg,
                        const CTOOString& subNameArg, bool allUsers) {
  const std::string name = static_cast<const char*>(nameText);
  Work work;

  if (name.empty()) {
    work.isDevice = false;
    ContainersInAppData(allUsers, work.folder);
  } else if (FormOf(name) == PathForm::kNamedDevice) {
    detail::SplitDeviceLocation(name.c_str(), work.criteria);
    work.container = work.criteria.containerName;
  } else if (FormOf(name) == PathForm::kSystemName) {
    detail::SplitDeviceLocation(name.c_str(), work.criteria, detail::BlankContainer::kKeep);
    work.container = work.criteria.containerName;
  } else if (FormOf(name) == PathForm::kDevicePath) {
    work.isDevicePath = true;
    HRESULT hr = S_OK;
    ad::IADPathProps* parsed = nullptr;
    try {
      hr = ad::ParseADPath(name, &parsed);
    } catch (long code) {  // what the parse entry point throws
      hr = static_cast<HRESULT>(code);
    }
    if (FAILED(hr)) {
      detail::FailWithWin32Code(static_cast<DWORD>(hr));
      return false;
    }
    work.container = ComPtr<ad::IADPathProps>::Adopt(parsed)->GetContainerName();
  } else if (name.find_first_of("\\/") == std::string::npos) {
    work.isDevice = false;
    ContainersInAppData(allUsers, work.folder);
    work.container = name;
  } else {
    if (!ClassifyFileSystemPath(name, work)) return false;
  }

  if (!containerArg.IsEmpty()) {
    work.container = static_cast<const char*>(containerArg);
  } else if (work.container.empty()) {
    work.container = DefaultContainerName();
  }
  if (!subNameArg.IsEmpty()) work.container += std::string(kSubNameSeparator) + static_cast<const char*>(subNameArg);

  if (work.isDevice) return CompleteDevicePath(fullPath, nameText, work);

  // Only an application-data folder that cannot be obtained leaves no folder.
  if (work.folder.empty()) return false;
  CTOOString result(work.folder.c_str());
  result.StrAddSlash();
  result += work.container.c_str();
  fullPath = result;
  return true;
}

}  // namespace

bool MakeFullPath(CTOOString& fullPath, const CTOOString& name, const CTOOString& container,
                  const CTOOString& subName) {
  return MakeFullPathWorker(fullPath, name, container, subName, true);
}

bool MakeFullPath2(CTOOString& fullPath, const CTOOString& name, bool allUsers) {
  return MakeFullPathWorker(fullPath, name, CTOOString(), CTOOString(), allUsers);
}

}  // namespace keydepot
