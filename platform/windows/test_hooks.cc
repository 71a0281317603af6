// Every module links its own copy of the layer on Windows. A test program
// exports "KdpFileFaultWord" (tests/support), giving its copy's word, so
// that the copies inside the DLLs it loads (tools2.dll, nodyx.dll) see the
// faults its tests arm. Other programs export nothing of the kind, and each
// copy keeps its own word.
#include "../file_faults.h"

#include "kdplatform/win32.h"

namespace kdp::detail {

FaultWord& FileFaultWord() noexcept {
  static FaultWord* const word = [] {
    using Export = FaultWord* (*)();
    const auto exported = kdp::ProcAs<Export>(GetProcAddress(GetModuleHandleA(nullptr), "KdpFileFaultWord"));
    return exported ? exported() : &LocalFileFaultWord();
  }();
  return *word;
}

}  // namespace kdp::detail
