// The free-space test hooks (kdplatform/testing.h): on Windows they stand in
// for the system's GetDiskFreeSpaceA in this program, on Linux for the
// platform layer's.
#include "kdplatform/testing.h"
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(DiskSpace, TestHooks) {
  DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
  kdp::testing::FakeFreeDiskSpace(10000);
  ASSERT_TRUE(GetDiskFreeSpaceA(nullptr, &spc, &bps, &freeClusters, &total));
  EXPECT_EQ(std::uint64_t{spc} * bps * freeClusters, 8192u);  // whole clusters only

  kdp::testing::FakeFreeDiskSpace(std::uint64_t{1} << 50);  // beyond 32-bit cluster counts
  ASSERT_TRUE(GetDiskFreeSpaceA(nullptr, &spc, &bps, &freeClusters, &total));
  EXPECT_EQ(freeClusters, 0xFFFFFFFFu);

  kdp::testing::FailFreeDiskSpace(ERROR_NOT_READY);
  SetLastError(0);
  EXPECT_FALSE(GetDiskFreeSpaceA(nullptr, &spc, &bps, &freeClusters, &total));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);

  kdp::testing::ResetFreeDiskSpace();
  EXPECT_TRUE(GetDiskFreeSpaceA(nullptr, &spc, &bps, &freeClusters, &total));
}

}  // namespace
