// A save's temporary files, on every system (the file-I/O layer's
// ReplaceFileAtomically and IsTemporaryFileName).
#pragma once

#include "kdplatform/file_io.h"

#include <cstdint>
#include <string>

namespace kdp::detail {

// ".kdtmp-" and six random letters and digits: short, so that a target whose
// name takes all the room a folder entry allows still has one beside it.
std::string TemporaryFileName();

// Creates a new temporary file in `folder` with `access`, open for writing;
// *path names it.
DWORD CreateTemporaryFile(const std::string& folder, Access access, FileHandle* file, std::string* path);

// Whether a temporary file last written at `modified` (nanoseconds since
// 1970) is a leftover of a process killed outright: older than any save of
// this layer keeps one.
bool IsStaleTemporary(std::int64_t modified) noexcept;

// While one lives, RemoveTemporaryFilesInFlight removes the temporary file
// `name`: relative to the open folder `folder` (POSIX), or a whole path
// with kNoFile. The caller keeps `folder` open for the tracker's life. A
// name that does not fit, or a process with more saves at once than there
// are slots, goes untracked: the file is then left to the next save's sweep.
class TrackedTemporary {
 public:
  TrackedTemporary() noexcept = default;
  ~TrackedTemporary();
  // Starts tracking (once).
  void Track(NativeFile folder, const std::string& name) noexcept;
  TrackedTemporary(const TrackedTemporary&) = delete;
  TrackedTemporary& operator=(const TrackedTemporary&) = delete;

 private:
  int slot_ = -1;
};

// Removes one tracked file (each system's own call, async-signal-safe).
void RemoveTrackedFile(NativeFile folder, const char* name) noexcept;

}  // namespace kdp::detail
