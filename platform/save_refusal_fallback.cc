// For a system whose SaveFile has no rule about what other users placed in
// the way (the Windows build, until its save explains its refusals): there
// is nothing to explain.
#include "kdplatform/file_io.h"

namespace kdp {

std::string SaveRefusal(const std::string&) { return {}; }

}  // namespace kdp
