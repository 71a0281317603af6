#include "kdtest/program.h"

#include <kdplatform/win32.h>

#include <filesystem>

namespace kdtest {

std::string ProgramFolder() {
  char file[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, file, MAX_PATH);
  return std::filesystem::path(std::string(file, length)).parent_path().string();
}

bool IsModuleLoaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

}  // namespace kdtest
