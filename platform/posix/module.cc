// Module loading on the dynamic loader: HMODULE is a dlopen handle. A path
// names exactly the file it spells: letter case is never ignored, so a module
// in a folder whose name differs only in case can never stand in for it.
#include "kdplatform/native_path.h"
#include "kdplatform/win32.h"

#include "loaded_modules.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

using kdp::detail::FindLoadedModule;
using kdp::detail::MainProgramHandle;

namespace {

HMODULE Fail(DWORD error) {
  SetLastError(error);
  return nullptr;
}

std::string CurrentDirectory() {
  std::string dir(256, '\0');
  while (!getcwd(dir.data(), dir.size())) {
    if (errno != ERANGE) return {};
    dir.resize(dir.size() * 2);
  }
  dir.resize(std::strlen(dir.c_str()));
  return dir;
}

std::string Absolute(std::string path) {
  if (path.empty() || path[0] == '/') return path;
  const std::string cwd = CurrentDirectory();
  return cwd.empty() ? path : cwd + "/" + path;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The file a module name designates, made absolute. Bare file names (no
// folder) are returned as they are, for the loader's own search.
enum class NameKind { kBare, kPath };
struct ModuleName {
  NameKind kind;
  std::string text;
};

bool ResolveModuleName(const char* name, ModuleName* out) {
  std::string native;
  if (!kdp::ToNativePath(name, &native)) return false;
  if (native.find('/') == std::string::npos) {
    *out = {NameKind::kBare, native};
    return true;
  }
  *out = {NameKind::kPath, Absolute(std::move(native))};
  return true;
}

// The main program is not found by dlopen with its own path.
bool IsMainProgramFile(const std::string& path) {
  const std::string exe = kdp::detail::MainProgramPath();
  return !exe.empty() && SameFile(path, exe);
}

// Exports found lately on this thread. An entry holds while the loader has
// unmapped no module since it was made: its module is then still loaded and
// the address still valid. Spares dlsym for the few exports a caller asks
// for again and again (a component's class-object and unload exports).
struct FoundExport {
  const void* module;
  unsigned long long unloads;
  char name[32];  // longer names are not kept
  void* symbol;
};
thread_local FoundExport t_found[4];
thread_local unsigned t_nextFound;

void* FoundBefore(const void* module, const char* name, unsigned long long unloads) {
  for (const FoundExport& entry : t_found) {
    if (entry.symbol && entry.module == module && entry.unloads == unloads && std::strcmp(entry.name, name) == 0) {
      return entry.symbol;
    }
  }
  return nullptr;
}

void RememberFound(const void* module, const char* name, unsigned long long unloads, void* symbol) {
  if (std::strlen(name) >= sizeof FoundExport::name) return;
  FoundExport& entry = t_found[t_nextFound++ % std::size(t_found)];
  entry = {module, unloads, {}, symbol};
  std::strcpy(entry.name, name);
}

// The module this thread last found by its path, kept like the exports
// above: while no module has been unloaded, it is still loaded by that path.
struct FoundModule {
  const link_map* map;
  unsigned long long unloads;
  char path[MAX_PATH];  // longer paths are not kept
};
thread_local FoundModule t_foundModule;

const link_map* FindModuleByPath(const char* path) {
  const unsigned long long unloads = kdp::detail::UnloadCount();
  FoundModule& last = t_foundModule;
  if (last.map && last.unloads == unloads && std::strcmp(last.path, path) == 0) return last.map;
  const link_map* map = kdp::detail::FindLoadedModuleByPath(path);
  if (map && std::strlen(path) < sizeof last.path) {
    last.map = map;
    last.unloads = unloads;
    std::strcpy(last.path, path);
  }
  return map;
}

const link_map* MainProgramMap() {
  link_map* map = nullptr;
  return dlinfo(MainProgramHandle(), RTLD_DI_LINKMAP, &map) == 0 ? map : nullptr;
}

}  // namespace

HMODULE WINAPI kdp::LoadLibraryExA(LPCSTR fileName, HANDLE, DWORD) {
  // LOAD_WITH_ALTERED_SEARCH_PATH needs nothing here: a module finds its own
  // dependencies in its folder through its RUNPATH ($ORIGIN).
  if (!fileName) return Fail(ERROR_INVALID_PARAMETER);
  ModuleName name;
  if (!*fileName || !ResolveModuleName(fileName, &name)) return Fail(ERROR_MOD_NOT_FOUND);
  if (name.kind == NameKind::kBare) {
    void* handle = dlopen(name.text.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle ? handle : Fail(ERROR_MOD_NOT_FOUND);
  }
  struct stat st {};
  if (stat(name.text.c_str(), &st) != 0) return Fail(ERROR_MOD_NOT_FOUND);
  if (IsMainProgramFile(name.text)) return MainProgramHandle();
  void* handle = dlopen(name.text.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle ? handle : Fail(ERROR_BAD_EXE_FORMAT);
}

HMODULE WINAPI kdp::GetModuleHandleA(LPCSTR moduleName) {
  if (!moduleName) return MainProgramHandle();
  // A module loaded by this very name is found without asking the file
  // system; another spelling of its path (a link, "..") needs the file's
  // identity. An absolute native path needs no resolving to be compared.
  if (moduleName[0] == '/' && !std::strchr(moduleName, '\\')) {
    if (const link_map* map = FindModuleByPath(moduleName)) return const_cast<link_map*>(map);
  }
  ModuleName name;
  if (!*moduleName || !ResolveModuleName(moduleName, &name)) return Fail(ERROR_MOD_NOT_FOUND);
  if (name.kind == NameKind::kBare) {
    const link_map* map = kdp::detail::FindLoadedModuleByFileName(name.text);
    return map ? const_cast<link_map*>(map) : Fail(ERROR_MOD_NOT_FOUND);
  }
  if (const link_map* map = kdp::detail::FindLoadedModuleByPath(name.text.c_str())) return const_cast<link_map*>(map);
  if (IsMainProgramFile(name.text)) return MainProgramHandle();
  // RTLD_NOLOAD finds a loaded module and adds a reference; the dlclose takes
  // it back so the load count is what it was.
  void* handle = dlopen(name.text.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) return Fail(ERROR_MOD_NOT_FOUND);
  dlclose(handle);
  return handle;
}

BOOL WINAPI kdp::GetModuleHandleExA(DWORD flags, LPCSTR moduleNameOrAddress, HMODULE* module) {
  if (!module) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *module = nullptr;
  HMODULE handle = nullptr;
  if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
    Dl_info info{};
    link_map* map = nullptr;
    if (!dladdr1(moduleNameOrAddress, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
    handle = (map == MainProgramMap() || !map->l_name || !*map->l_name) ? MainProgramHandle() : map;
  } else {
    handle = GetModuleHandleA(moduleNameOrAddress);
    if (!handle) return FALSE;
  }
  if (!(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) && handle != MainProgramHandle()) {
    // The caller owns one load reference, to be given back with FreeLibrary.
    const link_map* map = FindLoadedModule(handle);
    void* again = map ? dlopen(map->l_name, RTLD_LAZY | RTLD_NOLOAD) : nullptr;
    if (again != handle) {
      if (again) dlclose(again);
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
  }
  *module = handle;
  return TRUE;
}

FARPROC WINAPI kdp::GetProcAddress(HMODULE module, LPCSTR procName) {
  if (!module) module = MainProgramHandle();
  const bool named = reinterpret_cast<std::uintptr_t>(procName) >= 0x10000u;
  const unsigned long long unloads = kdp::detail::UnloadCount();
  if (named) {
    if (void* symbol = FoundBefore(module, procName, unloads)) return reinterpret_cast<FARPROC>(symbol);
  }
  const link_map* map = FindLoadedModule(module);
  if (!map) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // Small values are export ordinals, which modules here do not have.
  if (!named) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = dlsym(module, procName);
  // dlsym also searches the module's dependencies; only the module's own
  // definitions count, as with a DLL's export table.
  dl_find_object owner{};
  if (!symbol || _dl_find_object(symbol, &owner) != 0 || owner.dlfo_link_map != map) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  RememberFound(module, procName, unloads, symbol);
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI kdp::FreeLibrary(HMODULE module) {
  if (!FindLoadedModule(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (module == MainProgramHandle()) return TRUE;
  if (dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI kdp::GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  std::string path;
  if (!module) {
    path = kdp::detail::MainProgramPath();
  } else {
    const link_map* map = FindLoadedModule(module);
    if (!map) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    path = (map->l_name && *map->l_name) ? Absolute(map->l_name) : kdp::detail::MainProgramPath();
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!fileName || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < size) {
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  // Too small: as much as fits, terminated, and the buffer's size.
  std::memcpy(fileName, path.data(), size - 1);
  fileName[size - 1] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}
