// Test-armed failures of file steps, the way a fault-injecting environment
// does it: production code never arms them, and an unarmed check is one
// atomic load.
#include "file_faults.h"

namespace kdp::detail {
namespace {

constexpr std::uint64_t kArmed = 1;
constexpr unsigned kStepShift = 1;
constexpr unsigned kSkipShift = 8;
constexpr std::uint64_t kSkipMask = 0xFFFFFFull;
constexpr unsigned kErrorShift = 32;

}  // namespace

FaultWord& LocalFileFaultWord() noexcept {
  static FaultWord word{0};
  return word;
}

DWORD InjectedFileFault(kdp::testing::FileStep step) noexcept {
  FaultWord& word = FileFaultWord();
  std::uint64_t now = word.load();
  for (;;) {
    if (!(now & kArmed) || ((now >> kStepShift) & 0x7F) != static_cast<std::uint64_t>(step)) return 0;
    const std::uint64_t skip = (now >> kSkipShift) & kSkipMask;
    // One call passes (the skip count falls), or the fault fires and disarms.
    const std::uint64_t next = skip > 0 ? now - (std::uint64_t{1} << kSkipShift) : 0;
    if (word.compare_exchange_weak(now, next)) return skip > 0 ? 0 : static_cast<DWORD>(now >> kErrorShift);
  }
}

}  // namespace kdp::detail

namespace kdp::testing {

void FailFileStep(FileStep step, DWORD error, unsigned skip) {
  detail::FileFaultWord() = (static_cast<std::uint64_t>(error) << detail::kErrorShift) |
                            ((skip & detail::kSkipMask) << detail::kSkipShift) |
                            (static_cast<std::uint64_t>(step) << detail::kStepShift) | detail::kArmed;
}

void ResetFileFaults() { detail::FileFaultWord() = 0; }

}  // namespace kdp::testing
