// A test program supplies its stand-in by defining KdpSystemSeam; in every
// other program the weak reference stays null and nothing is consulted.
#include "../system_seam.h"

extern "C" __attribute__((weak)) const kdp::detail::SystemSeam* KdpSystemSeam();

namespace kdp::detail {

const SystemSeam* ProgramSeam() noexcept {
  static const SystemSeam* const seam = KdpSystemSeam != nullptr ? KdpSystemSeam() : nullptr;
  return seam;
}

}  // namespace kdp::detail
