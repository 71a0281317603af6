// CertInfo: the record that describes one stored item for the storage
// functions (keydepot/storage.h).
#pragma once

#include "keydepot/export.h"
#include "kdplatform/api_types.h"
#include "tools2/tools2.h"

#include <string>

namespace keydepot {

struct KEYDEPOT_API CertInfo {
  CertInfo();
  // Deep copies of path, auxText and deviceId; data, pin, session and
  // auxValue are copied as plain values, so a copy shares the caller's data
  // object and PIN string.
  CertInfo(const CertInfo& other);
  CertInfo& operator=(const CertInfo& other);
  // Never frees what data and pin point to.
  ~CertInfo();

  std::string path;                  // the storage path; selects the back-end
  DWORD auxValue = 0;                // carried along, read by no storage operation
  IdentObj* data = nullptr;          // the item's bytes (owned by the caller): read by Save, replaced by Load
  IdentObj deviceId;                 // set to the device's identifier by device loads
  std::string auxText;               // carried along, read by no storage operation
  const std::string* pin = nullptr;  // device PIN presented first (owned by the caller); null = none
  DWORD session = 0;                 // session handle for device back-ends (keydepot/ad/session.h)
};

}  // namespace keydepot
