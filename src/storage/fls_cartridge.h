// FlsCartridge: items stored as plain files; the file holds exactly the
// item's bytes. location is the file's drive and directory (ending in its
// separator, or empty), item the file path.
#pragma once

#include "storage/cartridge.h"

namespace keydepot {

class FlsCartridge final : public Cartridge {
 public:
  // Reads the whole file into the record's data. Stores TOOERR_FILE_MISSING
  // (and Win32 ERROR_FILE_NOT_FOUND) for a missing file, TOOERR_OPEN_FAILED
  // when it cannot be opened (a folder, a device or FIFO, or its length
  // cannot be read), TOOERR_SHORT_READ for a short read or a file of 4 GiB or
  // more.
  bool Load(CertInfo* record) override;
  // Creates a missing folder (TOOERR_FOLDER_NOT_CREATED when it cannot),
  // checks the room (TOOERR_NO_ROOM), and writes the record's data
  // (TOOERR_SHORT_WRITE for any failed write) with kdp::SaveFile:
  // links are followed, the new bytes replace a regular file atomically
  // and durably (keeping its permissions), so a failed or interrupted save
  // leaves the previous item whole and no temporary file. A file the caller
  // may not write is refused (TOOERR_SHORT_WRITE); special files, hard-linked files and files
  // in a folder the caller may not write are written in place, not
  // atomically.
  bool Save(const CertInfo* record) override;
  // Free bytes of the file system holding the item's folder (its nearest
  // existing ancestor; the current folder for a bare name; the path itself
  // when it names a folder, such as a mount point), saturated at
  // 0xFFFFFFFF; 0 when they cannot be read.
  DWORD GetSize(CertInfo* record) override;
  bool IsExist(const CertInfo* record) override;
  bool Clear(const CertInfo* record) override;
  std::string GetStorageName() override { return location; }
  IdentObj GetDeviceID(const char* /*path*/) override { return IdentObj(); }
};

}  // namespace keydepot
