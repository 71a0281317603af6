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

}  // namespace

void* MainProgramHandle() noexcept {
  // Kept open for the life of the process; the main program cannot unload.
  static void* const handle = dlopen(nullptr, RTLD_LAZY);
  return handle;
}

const link_map* FindLoadedModule(const void* handle) noexcept {
  if (!handle) return nullptr;
  for (const link_map* map = FirstModule(); map; map = map->l_next) {
    if (static_cast<const void*>(map) == handle) return map;
  }
  return nullptr;
}

const link_map* FindLoadedModuleByFileName(const std::string& name) noexcept {
  for (const link_map* map = FirstModule(); map; map = map->l_next) {
    if (!map->l_name || !*map->l_name) continue;
    const char* slash = std::strrchr(map->l_name, '/');
    const char* fileName = slash ? slash + 1 : map->l_name;
    if (_mbsicmp(reinterpret_cast<const unsigned char*>(fileName),
                 reinterpret_cast<const unsigned char*>(name.c_str())) == 0) {
      return map;
    }
  }
  return nullptr;
}

const link_map* FindLoadedModuleByPath(const char* path) noexcept {
  // From the end: modules loaded at run time (the ones asked for by path)
  // follow the program's own dependencies.
  const link_map* last = FirstModule();
  while (last && last->l_next) last = last->l_next;
  for (const link_map* map = last; map; map = map->l_prev) {
    if (map->l_name && std::strcmp(map->l_name, path) == 0) return map;
  }
  return nullptr;
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
