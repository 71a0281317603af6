#include "ad/own_module.h"

#include "tools2/tools2.h"

namespace keydepot::ad {
namespace {
HMODULE g_ownModule = nullptr;
}  // namespace

void RecordOwnModule(HMODULE module) noexcept { g_ownModule = module; }

HMODULE OwnModule() noexcept { return g_ownModule; }

DWORD GetComponentPath(std::string& path) {
  // Without a recorded handle GetModuleFileNameA would name the executable,
  // which is not where the component is looked for.
  if (!g_ownModule) return ERROR_MOD_NOT_FOUND;

  char file[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(g_ownModule, file, MAX_PATH);
  if (length == 0) {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_MOD_NOT_FOUND;
  }
  // A truncated name would point at the wrong folder.
  if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;

  std::string result = TOO::FILENAME(file).ExtractFilePath().Str();
  result += KDP_PATH_SEPARATOR;
  result += kComponentFileName;
  path = std::move(result);
  return 0;
}

}  // namespace keydepot::ad
