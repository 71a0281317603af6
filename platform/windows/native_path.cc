// Windows paths are already what the file system understands.
#include "kdplatform/native_path.h"

namespace kdp {

bool ToNativePath(const char* path, std::string* native) {
  if (!path || !native) return false;
  *native = path;
  return true;
}

}  // namespace kdp
