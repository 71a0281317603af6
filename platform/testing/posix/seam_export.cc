// The test program's stand-in on Linux, compiled into every program that
// links kdplatform_testing: libkdplatform's weak reference to KdpSystemSeam
// finds this definition in the program.
#include "../file_steps.h"
#include "../free_space_fake.h"

extern "C" __attribute__((visibility("default"))) const kdp::detail::SystemSeam* KdpSystemSeam() {
  static const kdp::detail::SystemSeam seam{&kdp::testing::detail::RunFileStep, &kdp::testing::detail::AnswerFreeSpace};
  return &seam;
}
