// Free space in the Win32 shape, as GetDiskFreeSpaceA reports it (each
// system's answer, and the tests' stand-ins alike).
#pragma once

#include "kdplatform/types.h"

#include <cstdint>

namespace kdp::detail {

// Writes free and total bytes as clusters of 8 sectors of 512 bytes, counts
// saturated at 32 bits. Any output may be null.
void ReportFreeSpace(std::uint64_t freeBytes, std::uint64_t totalBytes, LPDWORD sectorsPerCluster,
                     LPDWORD bytesPerSector, LPDWORD freeClusters, LPDWORD totalClusters) noexcept;

}  // namespace kdp::detail
