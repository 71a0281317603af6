// Objects that live as long as the library is loaded. They are defined here,
// in one translation unit, because their order matters: static destruction
// runs in reverse order of definition, so the shared session cores are
// destroyed (releasing their component creators) before the module map and
// its mutex, which those creators consult.
#include "ad/loaded_module_map.h"
#include "ad/shared_sessions.h"

namespace keydepot::detail {
namespace {
std::mutex g_loadedModulesMutex;
ModuleMap g_loadedModules;
CreatorHolds g_creatorHolds;
SharedSessions g_sharedSessions;
}  // namespace

ModuleMap& LoadedModuleMap() { return g_loadedModules; }

CreatorHolds& CreatorHeldModules() { return g_creatorHolds; }

std::mutex& LoadedModuleMutex() { return g_loadedModulesMutex; }

SharedSessions& SharedSessionCores() { return g_sharedSessions; }

SharedSessions::~SharedSessions() {
  for (std::shared_ptr<SessionCore>& core : cores) {
    if (core) SessionCore::Unregister(core->Handle());
    core.reset();
  }
}

}  // namespace keydepot::detail
