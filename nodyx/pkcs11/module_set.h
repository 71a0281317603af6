// The PKCS#11 modules of the process, loaded and initialised together from
// the module list (module_list.h).
//
// Acquire hands out the set that is alive, or makes a new one (reading the
// module list again) when no device manager, device or other holder keeps
// one. The last holder's release finalises every module, which closes the
// component's sessions and leaves no token logged in. Safe to use from
// several threads.
//
// A module that cannot be loaded or initialised, or that the list refuses,
// is skipped, with its reason in statuses(); it never makes the set fail.
#pragma once

#include "module.h"
#include "module_list.h"

#include <memory>
#include <string>
#include <vector>

namespace nodyx::pkcs11 {

struct ModuleStatus {
  std::string name;
  std::string reason;  // empty: the module is in use
};

class ModuleSet {
 public:
  static std::shared_ptr<const ModuleSet> Acquire();

  // Keeps the set until the process ends without ever finalising its
  // modules: for holders torn down while the process exits, when the
  // modules' own code may already be gone.
  static void KeepUntilExit(std::shared_ptr<const ModuleSet> set);

  const std::vector<std::shared_ptr<const Module>>& modules() const { return modules_; }
  // Every module of the list, in its order, used or skipped.
  const std::vector<ModuleStatus>& statuses() const { return statuses_; }
  // Where the module list came from.
  const std::string& origin() const { return origin_; }
  // The configuration file that was not read, and why (module_list.h).
  const std::optional<IgnoredFile>& ignored() const { return ignored_; }

 private:
  ModuleSet() = default;
  void Load();

  std::vector<std::shared_ptr<const Module>> modules_;
  std::vector<ModuleStatus> statuses_;
  std::string origin_;
  std::optional<IgnoredFile> ignored_;
};

}  // namespace nodyx::pkcs11
