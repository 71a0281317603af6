// The process-wide record of the modules this library loaded itself.
//
// Key: the module path lower-cased (compared byte-wise), so spellings of one
// path share an entry; the module itself is loaded from the path as given. Value: true while this library holds the
// load it made, false once it freed it again. Created at static initialisation, destroyed at library unload after the
// shared sessions. Creators hold LoadedModuleMutex() while they load, consult and free, so threads never race on a
// module.
#pragma once

#include "kdplatform/win32.h"

#include <map>
#include <mutex>
#include <string>

namespace keydepot::detail {

using ModuleMap = std::map<std::string, bool>;

ModuleMap& LoadedModuleMap();
std::mutex& LoadedModuleMutex();

// The load reference the live creators of a module hold together: one
// reference of the module's own for as long as any creator of it lives,
// with the number of those creators. Taking a reference from the loader
// searches every loaded module; counting it here spares that search to all
// but the first creator (a session's, usually) of a module. Guarded by
// LoadedModuleMutex(); destroyed after the shared sessions. The exports the
// creators use are kept with it once found: they stay valid while it is
// held. An entry whose count fell to 0 holds nothing and is kept for reuse.
struct CreatorHold {
  long creators = 0;
  char path[MAX_PATH] = {};  // the path the first live creator gave; counts only while creators > 0
  FARPROC getClassObject = nullptr;
  FARPROC canUnloadNow = nullptr;
  FARPROC dllCanUnloadNow = nullptr;
};
using CreatorHolds = std::map<HMODULE, CreatorHold>;
CreatorHolds& CreatorHeldModules();

}  // namespace keydepot::detail
