#include "module_set.h"

#include "module_list.h"

#include <mutex>

namespace nodyx::pkcs11 {

namespace {

// Trivially destructible on purpose: the component may be unloaded or the
// process may end while a set is still held.
std::mutex* const g_mutex = new std::mutex;
std::weak_ptr<const ModuleSet>* const g_current = new std::weak_ptr<const ModuleSet>;
std::vector<std::shared_ptr<const ModuleSet>>* const g_kept = new std::vector<std::shared_ptr<const ModuleSet>>;

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
  const ModuleList list = ReadModuleList();
  origin_ = list.origin;
  if (list.registered) {
    std::vector<SkippedModule> skipped;
    for (auto& module : LoadRegisteredModules(&skipped)) start(std::move(module));
    for (auto& skip : skipped) statuses_.push_back({std::move(skip.name), std::move(skip.reason)});
    return;
  }
  for (const auto& path : list.paths) {
    LoadedModule module;
    std::string reason;
    if (LoadModuleFile(path, &module, &reason)) {
      start(std::move(module));
    } else {
      statuses_.push_back({path, "cannot be loaded: " + reason});
    }
  }
}

std::shared_ptr<const ModuleSet> ModuleSet::Acquire() {
  std::lock_guard lock(*g_mutex);
  if (auto current = g_current->lock()) return current;
  std::shared_ptr<ModuleSet> set(new ModuleSet);
  set->Load();
  *g_current = set;
  return set;
}

void ModuleSet::KeepUntilExit(std::shared_ptr<const ModuleSet> set) {
  if (!set) return;
  std::lock_guard lock(*g_mutex);
  g_kept->push_back(std::move(set));
}

}  // namespace nodyx::pkcs11
