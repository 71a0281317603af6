#include "ad/own_module.h"

#include "tools2/tools2.h"

#include <mutex>

namespace keydepot::detail {
namespace {
HMODULE g_ownModule = nullptr;

// The library's file does not move while it is loaded: the component's path
// is worked out once for the recorded module, not for every filter open.
struct ComponentPathCache {
  std::mutex lock;
  HMODULE module = nullptr;
  std::string path;
};

ComponentPathCache& Cache() {
  static auto* cache = new ComponentPathCache;  // lives until the process ends
  return *cache;
}

DWORD ComputeComponentPath(std::string& path) {
  char file[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(g_ownModule, file, MAX_PATH);
  if (length == 0) {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_MOD_NOT_FOUND;
  }
  // A truncated name would point at the wrong folder.
  if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;

  path = TOO::FILENAME(file).ExtractFilePath().Str();
  path += KDP_PATH_SEPARATOR;
  path += kComponentFileName;
  return 0;
}

}  // namespace

void RecordOwnModule(HMODULE module) noexcept { g_ownModule = module; }

HMODULE OwnModule() noexcept { return g_ownModule; }

DWORD GetComponentPath(char (&path)[MAX_PATH]) {
  // Without a recorded handle GetModuleFileNameA would name the executable,
  // which is not where the component is looked for.
  if (!g_ownModule) return ERROR_MOD_NOT_FOUND;

  ComponentPathCache& cache = Cache();
  const std::lock_guard<std::mutex> guard(cache.lock);
  if (cache.module != g_ownModule) {
    std::string computed;
    if (const DWORD error = ComputeComponentPath(computed)) return error;
    cache.path = std::move(computed);
    cache.module = g_ownModule;
  }
  // A path this long is one the component creators refuse anyway.
  if (cache.path.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  cache.path.copy(path, cache.path.size());
  path[cache.path.size()] = '\0';
  return 0;
}

}  // namespace keydepot::detail
