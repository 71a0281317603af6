// Every module links its own copy of the layer on Windows; a test program
// exports KdpSystemSeam (platform/testing), so that the copies in the DLLs
// it loads (tools2.dll, nodyx.dll) use its stand-in too. Other programs
// export nothing of the kind.
#include "../system_seam.h"

#include "kdplatform/win32.h"

namespace kdp::detail {

const SystemSeam* ProgramSeam() noexcept {
  static const SystemSeam* const seam = [] {
    using Export = const SystemSeam* (*)();
    const auto exported = kdp::ProcAs<Export>(GetProcAddress(GetModuleHandleA(nullptr), "KdpSystemSeam"));
    return exported ? exported() : nullptr;
  }();
  return seam;
}

}  // namespace kdp::detail
