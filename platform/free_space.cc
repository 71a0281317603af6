#include "free_space.h"

namespace kdp::detail {
namespace {

constexpr DWORD kSectorsPerCluster = 8;
constexpr DWORD kBytesPerSector = 512;
constexpr std::uint64_t kClusterBytes = kSectorsPerCluster * kBytesPerSector;

DWORD Clusters(std::uint64_t bytes) {
  const std::uint64_t clusters = bytes / kClusterBytes;
  return clusters > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(clusters);
}

void Store(LPDWORD out, DWORD value) {
  if (out) *out = value;
}

}  // namespace

void ReportFreeSpace(std::uint64_t freeBytes, std::uint64_t totalBytes, LPDWORD sectorsPerCluster,
                     LPDWORD bytesPerSector, LPDWORD freeClusters, LPDWORD totalClusters) noexcept {
  Store(sectorsPerCluster, kSectorsPerCluster);
  Store(bytesPerSector, kBytesPerSector);
  Store(freeClusters, Clusters(freeBytes));
  Store(totalClusters, Clusters(totalBytes));
}

}  // namespace kdp::detail
