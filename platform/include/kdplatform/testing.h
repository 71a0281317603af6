// TEST-ONLY hooks of the platform layer. Production code never includes this
// header. The hooks are process-wide; a test that sets one resets it before it
// ends (or runs in a process of its own).
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/types.h"

#include <cstdint>
#include <string>

namespace kdp::testing {

// From now on GetDiskFreeSpaceA succeeds for every root it can resolve and
// reports `freeBytes` free (rounded down to whole 4096-byte clusters) and as
// many clusters in total.
KDPLATFORM_API void FakeFreeDiskSpace(std::uint64_t freeBytes);

// The same, only for queries about `folder` (a native path; the same folder
// however it is spelled); other folders report their real free space.
KDPLATFORM_API void FakeFreeDiskSpace(std::uint64_t freeBytes, const std::string& folder);

// From now on GetDiskFreeSpaceA fails with `error` as the last error.
KDPLATFORM_API void FailFreeDiskSpace(DWORD error);

// Back to the real file system.
KDPLATFORM_API void ResetFreeDiskSpace();

// Steps of the file-I/O layer (kdplatform/file_io.h) that a test can make
// fail, as a failing disk would: kOpen covers opening and creating files
// (temporary ones too), kRead and kWrite each system read or write, kSync a
// file's or a folder's sync.
enum class FileStep { kOpen, kRead, kWrite, kSync, kRename };

// The call of `step` after the next `skip` ones fails with `error` (a Win32
// code), once; one step is armed at a time.
KDPLATFORM_API void FailFileStep(FileStep step, DWORD error, unsigned skip = 0);
// Disarms it.
KDPLATFORM_API void ResetFileFaults();

}  // namespace kdp::testing
