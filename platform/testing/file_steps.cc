// The test program's stand-in for the file steps (platform/system_seam.h):
// it counts each step it runs and fails the armed one. The state is one
// word per purpose, so that it is shared as plain memory by every module
// that reaches it through the seam.
#include "file_steps.h"

#include "kdplatform/testing.h"

#include <atomic>
#include <cstdint>

namespace kdp::testing {
namespace {

using kdp::detail::FileStep;

// The armed fault: the error (bits 32-63), the calls to let pass (bits
// 8-31), the step (bits 1-7) and whether one is armed (bit 0).
constexpr std::uint64_t kArmed = 1;
constexpr unsigned kStepShift = 1;
constexpr unsigned kSkipShift = 8;
constexpr std::uint64_t kSkipMask = 0xFFFFFFull;
constexpr unsigned kErrorShift = 32;
constexpr int kSteps = 5;

std::atomic<std::uint64_t> g_fault{0};
std::atomic<std::uint64_t> g_run[kSteps];

// 0, or the Win32 code the step must fail with now.
DWORD ArmedFault(FileStep step) noexcept {
  std::uint64_t now = g_fault.load();
  for (;;) {
    if (!(now & kArmed) || ((now >> kStepShift) & 0x7F) != static_cast<std::uint64_t>(step)) return 0;
    const std::uint64_t skip = (now >> kSkipShift) & kSkipMask;
    // One call passes (the skip count falls), or the fault fires and disarms.
    const std::uint64_t next = skip > 0 ? now - (std::uint64_t{1} << kSkipShift) : 0;
    if (g_fault.compare_exchange_weak(now, next)) return skip > 0 ? 0 : static_cast<DWORD>(now >> kErrorShift);
  }
}

}  // namespace

DWORD detail::RunFileStep(FileStep step, DWORD (*run)(void* context), void* context) {
  if (const DWORD fault = ArmedFault(step)) return fault;
  g_run[static_cast<int>(step)].fetch_add(1);
  return run(context);
}

void FailFileStep(FileStep step, DWORD error, unsigned skip) {
  g_fault = (static_cast<std::uint64_t>(error) << kErrorShift) | ((skip & kSkipMask) << kSkipShift) |
            (static_cast<std::uint64_t>(step) << kStepShift) | kArmed;
}

void ResetFileFaults() { g_fault = 0; }

std::uint64_t FileStepsRun(FileStep step) { return g_run[static_cast<int>(step)].load(); }

}  // namespace kdp::testing
