// Compiled into every test program on Windows: exports where the program's
// copy of the platform layer keeps its armed file fault, so that the copies
// in the DLLs it loads share it (platform/windows/test_hooks.cc).
#include "../../../platform/file_faults.h"

extern "C" __declspec(dllexport) kdp::detail::FaultWord* KdpFileFaultWord();

extern "C" __declspec(dllexport) kdp::detail::FaultWord* KdpFileFaultWord() {
  return &kdp::detail::LocalFileFaultWord();
}
