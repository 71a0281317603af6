// TEST-ONLY hooks of the platform layer. Production code never includes this
// header. The hooks are process-wide; a test that sets one resets it before it
// ends (or runs in a process of its own).
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/types.h"

#include <cstdint>

namespace kdp::testing {

// From now on GetDiskFreeSpaceA succeeds for every root it can resolve and
// reports `freeBytes` free (rounded down to whole 4096-byte clusters) and as
// many clusters in total.
KDPLATFORM_API void FakeFreeDiskSpace(std::uint64_t freeBytes);

// From now on GetDiskFreeSpaceA fails with `error` as the last error.
KDPLATFORM_API void FailFreeDiskSpace(DWORD error);

// Back to the real file system.
KDPLATFORM_API void ResetFreeDiskSpace();

}  // namespace kdp::testing
