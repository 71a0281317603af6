#include "ad/shared_data_folder.h"

#include "tools2/tools2.h"

namespace keydepot::detail {

DWORD GetSharedDataFolder(std::string& folder) {
  char buffer[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, buffer))) {
    folder = std::string(buffer) + KDP_PATH_SEPARATOR + "Maltrove" + KDP_PATH_SEPARATOR;
    return 0;
  }
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (length == 0) {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_MOD_NOT_FOUND;
  }
  // Cut short, the name may lack its terminator (Windows XP, Wine).
  if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  folder = TOO::FILENAME(buffer).ExtractFilePath().Str() + KDP_PATH_SEPARATOR;
  return 0;
}

DWORD GetFilterFilePath(std::string& path) {
  std::string folder;
  if (DWORD error = GetSharedDataFolder(folder)) return error;
  path = folder + kFilterFileName;
  return 0;
}

}  // namespace keydepot::detail
