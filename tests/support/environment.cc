#include "kdtest/environment.h"

#include <cstdlib>

namespace kdtest {

ScopedEnv::ScopedEnv(const std::string& name, std::optional<std::string> value) : name_(name) {
  if (const char* old = std::getenv(name.c_str())) old_ = old;
  if (value) {
    SetEnv(name, *value);
  } else {
    UnsetEnv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    SetEnv(name_, *old_);
  } else {
    UnsetEnv(name_);
  }
}

}  // namespace kdtest
