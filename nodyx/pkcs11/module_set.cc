#include "module_set.h"

#include "module_list.h"

#include <mutex>

namespace nodyx::pkcs11 {

namespace {

struct Shared {
  std::mutex mutex;
  std::weak_ptr<const ModuleSet> current;
  std::vector<std::shared_ptr<const ModuleSet>> kept;
};

// Made on first use, which only a loaded and pinned component reaches, and
// never destroyed: the process may end while a set is still held, and kept
// sets must never be finalised.
Shared& State() {
  static Shared* const state = new Shared;
  return *state;
}

}  // namespace

void ModuleSet::Load() {
  const auto start = [this](LoadedModule module) {
    const std::string name = module.name;
    std::string reason;
    if (auto started = Module::Start(std::move(module), &reason)) {
      modules_.push_back(std::move(started));
      statuses_.push_back({name, {}});
    } else {
      statuses_.push_back({name, std::move(reason)});
    }
  };
  ModuleList list = ReadModuleList();
  origin_ = list.registered ? kRegisteredModulesOrigin : list.origin;
  ignored_ = std::move(list.ignored);
  if (list.registered) {
    std::vector<SkippedModule> skipped;
    for (auto& module : LoadRegisteredModules(&skipped)) start(std::move(module));
    for (auto& skip : skipped) statuses_.push_back({std::move(skip.name), std::move(skip.reason)});
    return;
  }
  for (const auto& listed : list.modules) {
    LoadedModule module;
    std::string reason;
    if (!listed.refused.empty()) {
      statuses_.push_back({listed.path, listed.refused});
    } else if (LoadModuleFile(listed.path, &module, &reason)) {
      start(std::move(module));
    } else {
      statuses_.push_back({listed.path, "cannot be loaded: " + reason});
    }
  }
}

std::shared_ptr<const ModuleSet> ModuleSet::Acquire() {
  Shared& state = State();
  std::lock_guard lock(state.mutex);
  if (auto current = state.current.lock()) return current;
  std::shared_ptr<ModuleSet> set(new ModuleSet);
  set->Load();
  state.current = set;
  return set;
}

void ModuleSet::KeepUntilExit(std::shared_ptr<const ModuleSet> set) {
  if (!set) return;
  Shared& state = State();
  std::lock_guard lock(state.mutex);
  state.kept.push_back(std::move(set));
}

}  // namespace nodyx::pkcs11
