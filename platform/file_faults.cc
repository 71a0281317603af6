// Test-armed failures of file steps, the way a fault-injecting environment
// does it: production code never arms them, and an unarmed check is one
// atomic load.
#include "file_faults.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<bool> g_armed{false};
std::mutex g_mutex;
kdp::testing::FileStep g_step;
DWORD g_error = 0;
unsigned g_skip = 0;

}  // namespace

namespace kdp::testing {

void FailFileStep(FileStep step, DWORD error, unsigned skip) {
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_step = step;
  g_error = error;
  g_skip = skip;
  g_armed = true;
}

void ResetFileFaults() {
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_armed = false;
}

}  // namespace kdp::testing

namespace kdp::detail {

DWORD InjectedFileFault(kdp::testing::FileStep step) noexcept {
  if (!g_armed.load()) return 0;
  const std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_armed || g_step != step) return 0;
  if (g_skip > 0) {
    --g_skip;
    return 0;
  }
  g_armed = false;
  return g_error;
}

}  // namespace kdp::detail
