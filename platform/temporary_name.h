// A save's temporary files, on every system (the file-I/O layer's
// ReplaceFileAtomically and IsTemporaryFileName).
#pragma once

#include "kdplatform/file_io.h"

#include <string>

namespace kdp::detail {

// ".kdtmp-" and six random letters and digits: short, so that a target whose
// name takes all the room a folder entry allows still has one beside it.
std::string TemporaryFileName();

// Creates a new temporary file in `folder` with `access`, open for writing;
// *path names it.
DWORD CreateTemporaryFile(const std::string& folder, Access access, FileHandle* file, std::string* path);

}  // namespace kdp::detail
