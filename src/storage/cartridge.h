// Cartridge: the storage back-end interface. A back-end lives for one
// exported storage call: the factory (create_cartridge.h) makes it, one
// operation runs, the caller deletes it.
#pragma once

#include "keydepot/cert_info.h"
#include "storage/record_buffer.h"

#include <string>

namespace keydepot {

class Cartridge {
 public:
  Cartridge() = default;
  Cartridge(const Cartridge&) = delete;
  Cartridge& operator=(const Cartridge&) = delete;
  virtual ~Cartridge() = default;

  virtual bool Load(CertInfo* record) = 0;
  // Only device paths support it; here: false, nothing touched.
  virtual bool LoadVpn2Pass(CertInfo* /*record*/) { return false; }
  virtual bool Save(const CertInfo* record) = 0;
  virtual DWORD GetSize(CertInfo* record) = 0;
  virtual bool IsExist(const CertInfo* record) = 0;
  virtual bool Clear(const CertInfo* record) = 0;
  virtual std::string GetStorageName() = 0;
  virtual IdentObj GetDeviceID(const char* path) = 0;
  // Reads the item's stored record into buffer; here:
  // TOOERR_RECORD_READ_NOT_OFFERED, nothing touched.
  virtual unsigned long ReadRecord(CertInfo* /*record*/, RecordBuffer& /*buffer*/, unsigned long& /*count*/) {
    return TOOERR_RECORD_READ_NOT_OFFERED;
  }

  // The folder / device type number / device path, and the file path / item
  // name (set by the factory).
  std::string location;
  std::string item;
};

}  // namespace keydepot
