#include "storage/last_error_store.h"

#include "keydepot/storage.h"

#include <atomic>

namespace keydepot {
namespace {
// Atomic only so that concurrent writers cannot tear the value; which write
// wins is not defined.
std::atomic<int> g_lastError{0};
}  // namespace

void SetLastErrorStore(int code) noexcept { g_lastError.store(code, std::memory_order_relaxed); }

int LastErrorStore() noexcept { return g_lastError.load(std::memory_order_relaxed); }

int KDPGetLastError() { return LastErrorStore(); }

}  // namespace keydepot
