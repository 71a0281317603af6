#include "last_error.h"

#include "keydepot/storage.h"
#include "tools2/errors.h"

#include <atomic>

namespace keydepot::detail {
namespace {
// Atomic only so that concurrent writers cannot tear the value; which write
// wins is not defined.
std::atomic<int> g_lastError{0};
}  // namespace

void SetLastErrorStore(int toolkitCode) noexcept { g_lastError.store(toolkitCode, std::memory_order_relaxed); }

int LastErrorStore() noexcept { return g_lastError.load(std::memory_order_relaxed); }

void FailWith(int toolkitCode, DWORD win32Code) noexcept {
  SetLastErrorStore(toolkitCode);
  SetLastError(win32Code);
}

void FailWithToolkitCode(int toolkitCode) noexcept { FailWith(toolkitCode, TooErr2WinErr(toolkitCode)); }

void FailWithWin32Code(DWORD win32Code) noexcept { FailWith(WinErr2ToolsErr(win32Code), win32Code); }

void FailWithHResultCode(HRESULT hr) noexcept { FailWithWin32Code(HRESULT_CODE(hr)); }

}  // namespace keydepot::detail

namespace keydepot {

int KDPGetLastError() { return detail::LastErrorStore(); }

}  // namespace keydepot
