#include "ad/session_access.h"
#include "keydepot/ad/device_filter.h"
#include "keydepot/ad/session.h"
#include "test_support.h"

#include <atomic>
#include <thread>
#include <vector>

namespace keydepot::ad {
namespace {

using keydepot::testing::ComponentTest;
using ConcurrencyTest = ComponentTest;

// Enumerates the session's devices when the handle still finds an open
// session; a handle closed meanwhile is refused, never followed.
void UseSession(DWORD handle) {
  HRESULT error = S_OK;
  detail::SessionManager manager = detail::SessionDeviceManager(handle, &error);
  if (!manager) return;
  ComPtr<IAD_EnumDevice> devices;
  EXPECT_EQ(detail::OpenDeviceEnumerator(manager.get(), &devices), S_OK);
  Session attached(handle, true);
  static_cast<void>(static_cast<IAD_DeviceTypeMgr*>(attached));
}

// Eight threads open, use and close filters, shared and private sessions at
// once, and close private sessions that other threads are still using. Run
// under ThreadSanitizer (the tsan preset) it must report no race.
void OpenUseAndCloseFromThreads() {
  constexpr int kThreads = 8;
  constexpr int kRounds = 60;
  std::atomic<DWORD> handedOver{0};  // a private session any thread may close
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&handedOver, t] {
      for (int round = 0; round < kRounds; ++round) {
        const DWORD filter = OpenDeviceFilter(nullptr);
        EXPECT_NE(filter, 0u);
        EXPECT_EQ(SaveDeviceFilter(filter), S_OK);
        EXPECT_EQ(CloseDeviceFilter(filter), S_OK);

        const DWORD shared = OpenSilentSession(nullptr, t % 2 == 0);
        EXPECT_NE(shared, 0u);
        UseSession(shared);
        EXPECT_EQ(SaveSessionDeviceFilter(shared), S_OK);
        EXPECT_EQ(CloseSession(shared), S_OK);

        // Each private session is closed exactly once, by the thread that
        // takes it over, maybe while its opener still uses it. (Closing it in
        // both threads would let one close hit a new session that reuses the
        // handle value, and leave that one open.)
        const DWORD own = OpenInteractiveSession(nullptr, nullptr, true);
        EXPECT_NE(own, 0u);
        if (const DWORD other = handedOver.exchange(own)) {
          EXPECT_EQ(CloseSession(other), S_OK);
        }
        UseSession(own);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(CloseSession(handedOver.load()), S_OK);
}

// A filter held open throughout keeps the component loaded, so only the
// handle tables and the cores are shared between the threads.
TEST_F(ConcurrencyTest, ThreadsOpenUseAndCloseSessionsAndFilters) {
  tc().AddDevice({.type = 100, .id = {0x0A}, .displayName = "one"});
  const DWORD keepLoaded = OpenDeviceFilter(nullptr);
  ASSERT_NE(keepLoaded, 0u);
  OpenUseAndCloseFromThreads();
  EXPECT_EQ(CloseDeviceFilter(keepLoaded), S_OK);
  EXPECT_FALSE(ComponentLoaded());
}

// Nothing holds the component: each thread's last close unloads it while
// others load it again and run its code. Every load must be matched by an
// unload, and none may pull the module from under a thread still in it.
TEST_F(ConcurrencyTest, ThreadsLoadAndUnloadTheComponent) {
  tc().AddDevice({.type = 100, .id = {0x0A}, .displayName = "one"});
  OpenUseAndCloseFromThreads();
  EXPECT_FALSE(ComponentLoaded());
}

}  // namespace
}  // namespace keydepot::ad
