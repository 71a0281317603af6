#include "free_space_fake.h"

#include <mutex>

namespace kdp::testing::detail {
namespace {

std::mutex g_mutex;
FreeSpaceFake g_fake;

}  // namespace

FreeSpaceFake ArmedFreeSpaceFake() noexcept {
  const std::lock_guard<std::mutex> lock(g_mutex);
  return g_fake;
}

void ArmFreeSpaceFake(const FreeSpaceFake& fake) noexcept {
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_fake = fake;
}

}  // namespace kdp::testing::detail
