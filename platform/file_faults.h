// Where the file-I/O layer asks whether a test made the step fail
// (kdplatform/testing.h). Shared by every platform's implementation.
#pragma once

#include "kdplatform/testing.h"

#include <atomic>
#include <cstdint>

namespace kdp::detail {

// 0, or the Win32 code the step must fail with now.
DWORD InjectedFileFault(kdp::testing::FileStep step) noexcept;

// The armed fault, one word so that it can be shared as plain memory: the
// error (bits 32-63), the calls to let pass (bits 8-31), the step (bits 1-7)
// and whether one is armed (bit 0).
using FaultWord = std::atomic<std::uint64_t>;

// This copy of the layer's own word.
FaultWord& LocalFileFaultWord() noexcept;
// The word the process's file steps consult: one per process, also where
// every module links its own copy of the layer (each system's
// test_hooks.cc).
FaultWord& FileFaultWord() noexcept;

}  // namespace kdp::detail
