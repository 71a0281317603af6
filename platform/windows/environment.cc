// kdplatform/environment.h on Windows. The C run-time keeps its own copy of
// the environment, which getenv reads; _putenv_s changes both it and the
// process's.
#include "kdplatform/environment.h"

#include <io.h>
#include <stdlib.h>

namespace kdp {

bool SetEnvironmentValue(const char* name, const char* value) { return _putenv_s(name, value) == 0; }

bool RemoveEnvironmentValue(const char* name) { return _putenv_s(name, "") == 0; }

NativeFile InheritedFile(int descriptor) noexcept {
  const intptr_t handle = descriptor >= 0 ? _get_osfhandle(descriptor) : -1;
  return handle == -1 || handle == -2 ? kNoFile : static_cast<NativeFile>(handle);
}

}  // namespace kdp
