// The process's environment, for tests that move folders and stores with
// environment variables. The same on every system: what a test sets is seen
// by std::getenv in every module of the process.
#pragma once

#include <optional>
#include <string>

namespace kdtest {

void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);

// Sets (or, with nullopt, removes) a variable and puts the old state back
// when it dies.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace kdtest
