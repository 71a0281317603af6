// The C library's environment, which std::getenv reads; _putenv_s passes the
// change on to the process's environment block as well. Windows' C library
// cannot hold an empty variable: setting "" removes it.
#include "kdtest/environment.h"

#include <cstdlib>

namespace kdtest {

void SetEnv(const std::string& name, const std::string& value) { _putenv_s(name.c_str(), value.c_str()); }
void UnsetEnv(const std::string& name) { _putenv_s(name.c_str(), ""); }

}  // namespace kdtest
