// Why a storage function failed on a file. The library's codes for files are
// coarse (a short write may be a folder in the way, a missing permission or
// a name too long), so the tool asks the file system what stands in the way
// and says that, with what to do.
#pragma once

#include "failure.h"

#include <optional>
#include <string>

namespace kdcli {

enum class FileOp { kLoad, kSave, kDelete };

// The failure the file system explains for op on file (a storage path of the
// file form, unwrapped), or nothing when it sees no obstacle.
std::optional<Failure> ExplainFileFailure(const std::string& file, FileOp op);

// The same for saving to a path of this machine (kdp::ToNativePath done).
std::optional<Failure> ExplainLocalSave(const std::string& native);

}  // namespace kdcli
