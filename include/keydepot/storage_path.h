// Full storage paths: the one string by which callers name any storage place.
//
// Forms, tested in this order:
//  1. "\\!\<type name>\<identifier text>\<container>"  a device, by names
//  2. "\\.\<device name>\<container>"                  a device, by system name
//  3. anything holding '|': a device path (keydepot/ad/device_path.h)
//  4. anything else: a file-system path of a folder or a file (drive letters
//     and both separators accepted; see docs/platform.md)
// In forms 3 and 4 a container "name:.sub" carries the sub-name "sub".
#pragma once

#include "keydepot/export.h"
#include "kdplatform/api_types.h"
#include "tools2/tools2.h"

#include <cstdint>
#include <string_view>

namespace keydepot {

// The forms above, as FormOf tells them apart; what each form means is the
// business of the function reading it.
enum class PathForm { kNamedDevice, kSystemName, kDevicePath, kFileSystem };

inline constexpr char kNamedDevicePrefix[] = "\\\\!\\";
inline constexpr char kSystemNamePrefix[] = "\\\\.\\";
// The length of either prefix: where the text after it starts.
inline constexpr std::size_t kFormPrefixLength = sizeof kNamedDevicePrefix - 1;

// The form of path, testing the forms in the order above (an empty path is a
// file-system path).
inline PathForm FormOf(std::string_view path) noexcept {
  // compare, not starts_with: the public headers are C++17.
  if (path.compare(0, kFormPrefixLength, kNamedDevicePrefix) == 0) return PathForm::kNamedDevice;
  if (path.compare(0, kFormPrefixLength, kSystemNamePrefix) == 0) return PathForm::kSystemName;
  if (path.find('|') != std::string_view::npos) return PathForm::kDevicePath;
  return PathForm::kFileSystem;
}

enum eStorageType : std::int32_t {
  StorageNone = 0,                 // the path pointer is null
  StorageFolder = 1,               // a file-system path
  StorageDevice = 2,               // a device without IAD_CryptoDevice
  StorageCryptoDevice = 3,         // a crypto device whose flag (slot 7) is 0
  StorageCryptoDeviceFlagged = 4,  // a crypto device whose flag is non-zero
};

// Splits path into its parts; every non-null out-pointer is written, on
// success and failure alike. False only when a device path cannot be parsed
// or rebuilt: then KDPGetLastError holds WinErr2ToolsErr of the failure's low
// 16 bits and the thread's last error those 16 bits. A null path counts as
// empty.
KEYDEPOT_API bool ParseFullPath(const char* path, bool* isDevice, CTOOString* location, CTOOString* container,
                                CTOOString* subName);

// Classifies the storage path names, asking the component about devices
// through the shared silent session. 0 or a positive code on success; a
// failure code with type unchanged (or StorageCryptoDevice when only the
// device's flag could not be read).
KEYDEPOT_API HRESULT GetStorageType(const char* path, eStorageType& type);

// Completes name into a full storage path naming one container: nothing or a
// bare name goes to the containers folder of the all-users application-data
// folder, a path on a removable drive to the containers folder at its root, a
// folder or file path is split into folder and container, and a device
// designation becomes the device path of the device it designates. container
// (when not empty) replaces the container; subName (when not empty) is
// appended after ":.". False on failure, with fullPath unchanged; a failed
// device search leaves WinErr2ToolsErr(code) for KDPGetLastError and code in
// the thread's last error: 123 when no device matched, 0x0301 when a device
// was skipped after an error (docs/library.md).
KEYDEPOT_API bool MakeFullPath(CTOOString& fullPath, const CTOOString& name, const CTOOString& container,
                               const CTOOString& subName);
// The same without container and sub-name, for all users or the current user.
KEYDEPOT_API bool MakeFullPath2(CTOOString& fullPath, const CTOOString& name, bool allUsers);

// Whether two full storage paths name the same place: file-system paths
// through TOOUtils::IsPathEqual, device paths by device identity and exact
// container name. With compareSubNames the sub-names must match exactly too.
// Never fails: every problem gives false.
KEYDEPOT_API bool ArePathsEqual(const CTOOString& a, const CTOOString& b, bool compareSubNames);
// The same on the bytes of two buffers, read as text.
KEYDEPOT_API bool ArePathsEqual(const IdentObj& a, const IdentObj& b, bool compareSubNames);

}  // namespace keydepot
