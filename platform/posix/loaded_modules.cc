#include "loaded_modules.h"

#include "kdplatform/crt.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>

namespace kdp::detail {

namespace {

// The head of the chain: the main program's map, which stays first for the
// life of the process.
const link_map* FirstModule() noexcept {
  static const link_map* const first = [] {
    link_map* map = nullptr;
    if (dlinfo(MainProgramHandle(), RTLD_DI_LINKMAP, &map) != 0) return static_cast<link_map*>(nullptr);
    while (map && map->l_prev) map = map->l_prev;
    return map;
  }();
  return first;
}

// Walks the loader's chain of modules and returns the first for which
// `matches` is true. Another thread's dlopen or dlclose links and unlinks
// maps while we walk, so the walk runs inside dl_iterate_phdr, which holds
// the loader's lock for as long as its callback runs. The map returned is
// only as alive as the caller's own reference to that module keeps it.
template <typename Match>
const link_map* WalkModules(const Match& matches, bool newestFirst = false) noexcept {
  struct Walk {
    const Match& matches;
    bool newestFirst;
    const link_map* first;  // found before taking the lock: dlinfo may need it
    const link_map* found;
  } walk{matches, newestFirst, FirstModule(), nullptr};
  dl_iterate_phdr(
      [](dl_phdr_info*, std::size_t, void* data) {
        auto* w = static_cast<Walk*>(data);
        const link_map* map = w->first;
        if (w->newestFirst) {
          while (map && map->l_next) map = map->l_next;
        }
        for (; map; map = w->newestFirst ? map->l_prev : map->l_next) {
          if (w->matches(map)) {
            w->found = map;
            break;
          }
        }
        return 1;  // one walk of the chain, under the lock, is all we need
      },
      &walk);
  return walk.found;
}

}  // namespace

void* MainProgramHandle() noexcept {
  // Kept open for the life of the process; the main program cannot unload.
  static void* const handle = dlopen(nullptr, RTLD_LAZY);
  return handle;
}

const link_map* FindLoadedModule(const void* handle) noexcept {
  if (!handle) return nullptr;
  return WalkModules([handle](const link_map* map) { return static_cast<const void*>(map) == handle; });
}

const link_map* FindLoadedModuleByFileName(const std::string& name) noexcept {
  return WalkModules([&name](const link_map* map) {
    if (!map->l_name || !*map->l_name) return false;
    const char* slash = std::strrchr(map->l_name, '/');
    const char* fileName = slash ? slash + 1 : map->l_name;
    return _mbsicmp(reinterpret_cast<const unsigned char*>(fileName),
                    reinterpret_cast<const unsigned char*>(name.c_str())) == 0;
  });
}

const link_map* FindLoadedModuleByPath(const char* path) noexcept {
  // From the end: modules loaded at run time (the ones asked for by path)
  // follow the program's own dependencies.
  return WalkModules([path](const link_map* map) { return map->l_name && std::strcmp(map->l_name, path) == 0; },
                     /*newestFirst=*/true);
}

unsigned long long UnloadCount() noexcept {
  unsigned long long unloads = 0;
  // The loader reports its counters with every module; the first will do.
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* out) {
        *static_cast<unsigned long long*>(out) = info->dlpi_subs;
        return 1;
      },
      &unloads);
  return unloads;
}

std::string MainProgramPath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < path.size()) {
      path.resize(static_cast<std::size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace kdp::detail
