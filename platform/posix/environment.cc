// kdplatform/environment.h on POSIX systems.
#include "kdplatform/environment.h"

#include <fcntl.h>

#include <cstdlib>

namespace kdp {

bool SetEnvironmentValue(const char* name, const char* value) { return ::setenv(name, value, 1) == 0; }

bool RemoveEnvironmentValue(const char* name) { return ::unsetenv(name) == 0; }

NativeFile InheritedFile(int descriptor) noexcept {
  return descriptor >= 0 && ::fcntl(descriptor, F_GETFD) != -1 ? descriptor : kNoFile;
}

}  // namespace kdp
