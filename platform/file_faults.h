// Where the file-I/O layer asks whether a test made the step fail
// (kdplatform/testing.h). Shared by every platform's implementation.
#pragma once

#include "kdplatform/testing.h"

namespace kdp::detail {

// 0, or the Win32 code the step must fail with now.
DWORD InjectedFileFault(kdp::testing::FileStep step) noexcept;

}  // namespace kdp::detail
