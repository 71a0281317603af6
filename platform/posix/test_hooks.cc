// One copy of the layer per process (libkdplatform): its own fault word is
// the process's.
#include "../file_faults.h"

namespace kdp::detail {

FaultWord& FileFaultWord() noexcept { return LocalFileFaultWord(); }

}  // namespace kdp::detail
