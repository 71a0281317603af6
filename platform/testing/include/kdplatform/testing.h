// Test hooks of the platform layer, in the test-only library kdplatform_testing
// (platform/testing), which supplies the layer's seam (platform/system_seam.h)
// to the test program that links it. Nothing here ships. The hooks are
// process-wide; a test that sets one resets it before it ends (or runs in a
// process of its own).
#pragma once

#include "kdplatform/types.h"

#include "../../../system_seam.h"

#include <cstdint>
#include <string>

namespace kdp::testing {

// From now on GetDiskFreeSpaceA succeeds for every root it can resolve and
// reports `freeBytes` free (rounded down to whole 4096-byte clusters) and as
// many clusters in total.
void FakeFreeDiskSpace(std::uint64_t freeBytes);

// The same, only for queries about `folder` (a native path; the same folder
// however it is spelled); other folders report their real free space.
void FakeFreeDiskSpace(std::uint64_t freeBytes, const std::string& folder);

// From now on GetDiskFreeSpaceA fails with `error` as the last error.
void FailFreeDiskSpace(DWORD error);

// Back to the real file system.
void ResetFreeDiskSpace();

// Steps of the file-I/O layer (kdplatform/file_io.h): kOpen covers opening
// and creating files (temporary ones too), kRead and kWrite each system read
// or write, kSync a file's or a folder's sync, kRename the rename that ends
// a save.
using FileStep = kdp::detail::FileStep;

// The call of `step` after the next `skip` ones fails with `error` (a Win32
// code) without reaching the system, once; one step is armed at a time.
void FailFileStep(FileStep step, DWORD error, unsigned skip = 0);
// Disarms it.
void ResetFileFaults();

// How many times the layer has run `step`'s system call in this process.
std::uint64_t FileStepsRun(FileStep step);

}  // namespace kdp::testing
