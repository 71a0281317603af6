// Folder entries as they are, reparse points not followed: what saves and
// the trust check look at before they decide to follow a link, and the
// security descriptors they judge. For the file-I/O layer's own use.
#pragma once

#include "kdplatform/file_io.h"
#include "kdplatform/types.h"

#include <string>

namespace kdp::detail {

// Opens the entry `path` names, never what a reparse point there leads to,
// with `desired` access (folders too). Missing: ERROR_FILE_NOT_FOUND, or
// ERROR_PATH_NOT_FOUND when a folder on the way is missing.
DWORD OpenEntry(const std::string& path, DWORD desired, FileHandle* entry);

// The same entry again with other access rights (ReOpenFile): no path is
// looked up, so it is the very file that was judged.
DWORD ReopenEntry(NativeFile entry, DWORD desired, FileHandle* again);

// The reparse tag of an open entry; 0 when it is no reparse point.
DWORD ReparseTagOf(NativeFile entry, DWORD* tag);

// Whether a reparse tag is a link the system follows to another name: a
// symbolic link or a junction. Other reparse points (cloud placeholders,
// deduplicated files) stand for the file itself.
bool IsLinkTag(DWORD tag);

// Where the link open as `link` (at `linkPath`) leads: an absolute target as
// a Win32 path ("C:\x", "\\server\share\x"), a relative one joined to the
// link's folder. ERROR_CANT_RESOLVE_FILENAME for a target this process's
// code page cannot spell.
DWORD LinkTarget(NativeFile link, const std::string& linkPath, std::string* target);

// The owner and DACL of a file or folder, freed when it goes.
class Descriptor {
 public:
  Descriptor() = default;
  ~Descriptor();
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  // Of an open entry (its handle needs READ_CONTROL).
  DWORD Read(NativeFile entry);
  // Of the file or folder `path` leads to, links followed.
  DWORD Read(const std::string& path);

  PSECURITY_DESCRIPTOR get() const { return descriptor_; }
  PSID owner() const { return owner_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  PSID owner_ = nullptr;
};

}  // namespace kdp::detail
