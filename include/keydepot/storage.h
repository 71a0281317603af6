// Storage of items (certificates, keys, any bytes) in folders and on devices.
//
// The record's path selects the back-end:
//  - no '|', "FLS|<file>|" or "<file>|": a file in a folder; the file holds the
//    item's bytes verbatim;
//  - "DEV|<type>|<name>|": the item <name> on the first device of device type
//    <type> (101 exactly; other numbers round down to a multiple of 100);
//  - any other text with '|' (and not ending in its first '|'): a device path
//    (keydepot/ad/device_path.h) naming a container on one device.
// Device items are stored as a 4-byte little-endian length followed by the
// bytes. Failures return false (0, an empty text or an empty IdentObj) and
// leave a toolkit code for KDPGetLastError.
#pragma once

#include "keydepot/cert_info.h"
#include "keydepot/export.h"

namespace keydepot {

KEYDEPOT_API bool Load(CertInfo* record);
// The item's stored bytes whole, length prefix included (device paths only).
KEYDEPOT_API bool LoadVpn2Pass(CertInfo* record);
KEYDEPOT_API bool Save(const CertInfo* record);
// The room of the storage: free bytes on the folder's drive (saturated at
// 0xFFFFFFFF), or what the device reports.
KEYDEPOT_API DWORD GetSize(CertInfo* record);
KEYDEPOT_API bool IsExist(const CertInfo* record);
KEYDEPOT_API bool Clear(const CertInfo* record);
// The folder of a file, or a name of the device. path must not be null.
KEYDEPOT_API CTOOString GetStorageName(const char* path);
// The identifier of the device the path names; empty for folders.
KEYDEPOT_API IdentObj GetDeviceID(const char* path);

// The toolkit code left by the last failing storage or storage-path call of
// the process (one value for all threads; read it right after the call). It
// neither resets nor changes the value.
KEYDEPOT_API int KDPGetLastError();

}  // namespace keydepot
