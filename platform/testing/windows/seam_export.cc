// The test program's stand-in on Windows: exported, so that the copies of
// the layer inside the DLLs the program loads find it too
// (platform/windows/system_seam.cc). Free space is faked by redirecting the
// system call instead (disk_space_hooks.cc).
#include "../file_steps.h"

extern "C" __declspec(dllexport) const kdp::detail::SystemSeam* KdpSystemSeam() {
  static const kdp::detail::SystemSeam seam{&kdp::testing::detail::RunFileStep, nullptr};
  return &seam;
}
