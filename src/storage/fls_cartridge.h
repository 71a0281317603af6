// FlsCartridge: items stored as plain files; the file holds exactly the
// item's bytes. location is the file's drive and directory (ending in its
// separator, or empty), item the file path.
#pragma once

#include "storage/cartridge.h"

namespace keydepot {

class FlsCartridge final : public Cartridge {
 public:
  // Reads the whole file into the record's data. Store 4 (and Win32 error 2)
  // for a missing file, 17 when it cannot be opened, 5 for a short read.
  bool Load(CertInfo* record) override;
  // Creates a missing folder (61 when it cannot), checks the room (16), and
  // writes the record's data (6 for a short write). The new bytes go to a
  // temporary file in the same folder that then replaces the item, so a
  // failed or interrupted save leaves the previous item whole.
  bool Save(const CertInfo* record) override;
  // Free bytes on the item's drive (or the current directory's), saturated
  // at 0xFFFFFFFF; 0 when they cannot be read.
  DWORD GetSize(CertInfo* record) override;
  bool IsExist(const CertInfo* record) override;
  bool Clear(const CertInfo* record) override;
  std::string GetStorageName() override { return location; }
  IdentObj GetDeviceID(const char* /*path*/) override { return IdentObj(); }
};

}  // namespace keydepot
