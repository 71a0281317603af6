// Objects that live as long as the library is loaded. They are defined here,
// in one translation unit, because their order matters: static destruction
// runs in reverse order of definition, so the shared session cores are
// destroyed (releasing their component creators) before the module map those
// creators consult.
#include "ad/loaded_module_map.h"
#include "ad/shared_sessions.h"

namespace keydepot::ad {
namespace {
ModuleMap g_loadedModules;
SharedSessions g_sharedSessions;
}  // namespace

ModuleMap& LoadedModuleMap() { return g_loadedModules; }

SharedSessions& SharedSessionCores() { return g_sharedSessions; }

SharedSessions::~SharedSessions() {
  delete silent[0];
  delete silent[1];
  delete interactive;
}

}  // namespace keydepot::ad
