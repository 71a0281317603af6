// What a tool installs while it saves files, so that an interruption leaves
// no temporary file behind. The library itself never installs a handler:
// only a program decides how it ends.
#pragma once

#include "kdplatform/export.h"

namespace kdp {

// While one lives, SIGINT, SIGTERM and SIGHUP (Windows: Ctrl-C, Ctrl-Break
// and the console's close, log-off and shut-down events) remove the
// temporary files of the saves under way (RemoveTemporaryFilesInFlight)
// and end the process at once with exit code 128 + the signal's number
// (Windows: 130 for Ctrl-C and Ctrl-Break, 129 for the others). The
// previous handling comes back when it goes. One at a time per process,
// made and destroyed on one thread.
class KDPLATFORM_API InterruptCleanup {
 public:
  InterruptCleanup();
  ~InterruptCleanup();
  InterruptCleanup(const InterruptCleanup&) = delete;
  InterruptCleanup& operator=(const InterruptCleanup&) = delete;
};

}  // namespace kdp
