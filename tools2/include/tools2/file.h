// CTOOFile: one open file, and static file queries.
//
// Every path is a Windows-style path as callers write it (drive letters, '\'
// or '/') and is translated with kdp::ToNativePath before use; a path on a
// drive letter that is not mapped names nothing. The static calls record a
// failure in the status they are given (see tools2/status.h for its raise
// flag).
#pragma once

#include "kdplatform/api_types.h"
#include "tools2/export.h"
#include "tools2/status.h"

#include <kdplatform/file_handle.h>

class TOOLS2_API CTOOFile {
 public:
  // Opens `path` with an fopen-style mode: "r", "w" or "a", optionally with
  // '+', 'b' or 't' ('b' and 't' mean nothing here) and 'x' (fail if the file
  // exists). Files this call creates are readable and writable by their
  // owner only, as they usually hold keys; an existing file keeps its
  // permissions. A folder cannot be opened. A failed open leaves
  // OpenStatus().Status() at TOOERR_OPEN_FAILED; when `raise` is true the
  // constructor throws that XTOOFile instead.
  CTOOFile(const char* path, const char* mode, bool raise = false);
  CTOOFile(const CTOOFile&) = delete;
  CTOOFile& operator=(const CTOOFile&) = delete;
  // Closes the file.
  ~CTOOFile() = default;

  // 0 when the open worked. Reads and writes do not change it.
  const XTOOFile& OpenStatus() const noexcept { return m_status; }
  int Status() const noexcept { return m_status.Status(); }
  bool IsOpen() const noexcept { return m_file.IsOpen(); }

  // The open file's size as the open found it, with the failures of the
  // static Length (a file that is not open fails like a missing one).
  DWORD Length(XTOOFile& status) const;

  // Move up to `size` bytes; return how many moved (fewer at the end of the
  // file or on an error, 0 when the file is not open).
  unsigned int Read(void* buffer, unsigned int size);
  unsigned int Write(const void* buffer, unsigned int size);

  // True when the path names an existing file or folder.
  static bool IsExists(const char* path);
  // The file's size in bytes; 0 and a status code on failure (a file of
  // 4 GiB or more fails with the code of ERROR_FILE_TOO_LARGE, a folder or
  // other non-regular file with that of ERROR_ACCESS_DENIED).
  static DWORD Length(const char* path, XTOOFile& status);
  // Win32 attribute bits (FILE_ATTRIBUTE_DIRECTORY 0x10 for a folder); 0 and
  // a status code on failure (never INVALID_FILE_ATTRIBUTES, whose bits
  // would read as a folder).
  static DWORD Attributes(const char* path, XTOOFile& status);
  // Deletes a file; 0 on success, otherwise the toolkit code also left in
  // `status` (TOOERR_FILE_MISSING for a missing file).
  static int Remove(const char* path, XTOOFile& status);

 private:
  kdp::FileHandle m_file;
  kdp::FileInfo m_info;  // of the open file
  XTOOFile m_status;
};
