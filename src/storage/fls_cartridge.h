// FlsCartridge: items stored as plain files; the file holds exactly the
// item's bytes. location is the file's drive and directory (ending in its
// separator, or empty), item the file path.
#pragma once

#include "storage/cartridge.h"

namespace keydepot {

class FlsCartridge final : public Cartridge {
 public:
  // Reads the whole file into the record's data. Store 4 (and Win32 error 2)
  // for a missing file, 17 when it cannot be opened (a folder, a device or
  // FIFO, or its length cannot be read), 5 for a short read or a file of
  // 4 GiB or more.
  bool Load(CertInfo* record) override;
  // Creates a missing folder (61 when it cannot), checks the room (16), and
  // writes the record's data (6 for any failed write) with kdp::SaveFile:
  // links are followed, the new bytes replace a regular file atomically
  // and durably (keeping its permissions), so a failed or interrupted save
  // leaves the previous item whole and no temporary file. A file the caller
  // may not write is refused (6); special files, hard-linked files and files
  // in a folder the caller may not write are written in place, not
  // atomically.
  bool Save(const CertInfo* record) override;
  // Free bytes of the file system holding the item's folder (its nearest
  // existing ancestor; the current folder for a bare name), saturated at
  // 0xFFFFFFFF; 0 when they cannot be read.
  DWORD GetSize(CertInfo* record) override;
  bool IsExist(const CertInfo* record) override;
  bool Clear(const CertInfo* record) override;
  std::string GetStorageName() override { return location; }
  IdentObj GetDeviceID(const char* /*path*/) override { return IdentObj(); }
};

}  // namespace keydepot
