// The parts of the test program's stand-in (platform/system_seam.h) that
// each system's seam export puts together.
#pragma once

#include "../system_seam.h"

#include <cstdint>

namespace kdp::testing::detail {

// SystemSeam::runFileStep: counts the step and runs it, or fails the armed one.
DWORD RunFileStep(kdp::detail::FileStep step, DWORD (*run)(void* context), void* context);

}  // namespace kdp::testing::detail
