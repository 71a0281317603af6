// The free-space test hooks (kdplatform/testing.h) as every system keeps
// them: what a test armed, and the Win32 shape of an answer. Each system's
// GetDiskFreeSpaceA (Linux) or stand-in for it (Windows) asks here.
#pragma once

#include "kdplatform/types.h"

#include <cstdint>

namespace kdp::detail {

enum class FreeSpaceHook { kNone, kFake, kFail };

struct FreeSpaceFake {
  FreeSpaceHook hook = FreeSpaceHook::kNone;
  std::uint64_t freeBytes = 0;  // kFake
  DWORD error = 0;              // kFail
};

FreeSpaceFake ArmedFreeSpaceFake() noexcept;
void ArmFreeSpaceFake(const FreeSpaceFake& fake) noexcept;

// Writes free and total bytes as GetDiskFreeSpaceA reports them: clusters
// of 8 sectors of 512 bytes, counts saturated at 32 bits. Any output may be
// null.
void ReportFreeSpace(std::uint64_t freeBytes, std::uint64_t totalBytes, LPDWORD sectorsPerCluster,
                     LPDWORD bytesPerSector, LPDWORD freeClusters, LPDWORD totalClusters) noexcept;

}  // namespace kdp::detail
