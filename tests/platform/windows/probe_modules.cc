// The probe modules on Windows: GetModuleHandleA tells what is mapped, and
// never loads.
#include "../probe_modules.h"

namespace kdtest::probe {

const char* const kFileName = "PlatProbe.DLL";

bool IsMapped(const std::string& name) { return GetModuleHandleA(name.c_str()) != nullptr; }

// Asked of the process's record of its image, not of the loader.
bool IsThisProgram(const std::string& path) {
  char image[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  return QueryFullProcessImageNameA(GetCurrentProcess(), 0, image, &length) &&
         std::filesystem::path(path).is_absolute() && std::filesystem::equivalent(path, image);
}

}  // namespace kdtest::probe
