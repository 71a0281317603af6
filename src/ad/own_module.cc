#include "ad/own_module.h"

#include "tools2/tools2.h"

#include <atomic>
#include <mutex>

namespace keydepot::detail {
namespace {
HMODULE g_ownModule = nullptr;

// The library's file does not move while it is loaded: the component's path
// is worked out once, for the first module recorded, not for every filter
// open. `path` is written once, under the lock, before `module` is
// published; it never changes after, so readers that see the module need no
// lock. A module recorded later (the entry point records one per process)
// has its path worked out on each call.
struct ComponentPathCache {
  std::mutex lock;
  std::atomic<HMODULE> module{nullptr};
  std::string path;
};

ComponentPathCache& Cache() {
  static auto* cache = new ComponentPathCache;  // lives until the process ends
  return *cache;
}

DWORD ComputeComponentPath(HMODULE own, std::string& path) {
  char file[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(own, file, MAX_PATH);
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
  const HMODULE own = g_ownModule;
  if (!own) return ERROR_MOD_NOT_FOUND;

  ComponentPathCache& cache = Cache();
  std::string computed;
  const std::string* found = &cache.path;
  if (cache.module.load(std::memory_order_acquire) != own) {
    const std::lock_guard<std::mutex> guard(cache.lock);
    if (cache.module.load(std::memory_order_relaxed) != own) {
      if (const DWORD error = ComputeComponentPath(own, computed)) return error;
      if (cache.module.load(std::memory_order_relaxed) == nullptr) {
        cache.path = std::move(computed);
        cache.module.store(own, std::memory_order_release);
      } else {
        found = &computed;
      }
    }
  }
  // A path this long is one the component creators refuse anyway.
  if (found->size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  found->copy(path, found->size());
  path[found->size()] = '\0';
  return 0;
}

}  // namespace keydepot::detail
