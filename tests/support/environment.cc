#include "kdtest/environment.h"

#include "kdplatform/environment.h"

#include <cstdlib>

namespace kdtest {

void SetEnv(const std::string& name, const std::string& value) {
  kdp::SetEnvironmentValue(name.c_str(), value.c_str());
}
void UnsetEnv(const std::string& name) { kdp::RemoveEnvironmentValue(name.c_str()); }

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
