// The process-wide record of the modules this library loaded itself.
//
// Key: the module path lower-cased (compared byte-wise), so spellings of one
// path share an entry; the module itself is loaded from the path as given. Value: true while this library holds the
// load it made, false once it freed it again. Created at static initialisation, destroyed at library unload after the
// shared sessions. Creators hold LoadedModuleMutex() while they load, consult and free, so threads never race on a
// module.
#pragma once

#include <map>
#include <mutex>
#include <string>

namespace keydepot::detail {

using ModuleMap = std::map<std::string, bool>;

ModuleMap& LoadedModuleMap();
std::mutex& LoadedModuleMutex();

}  // namespace keydepot::detail
