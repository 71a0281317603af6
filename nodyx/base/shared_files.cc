#include "base/shared_files.h"

#include "kdplatform/native_path.h"
#include "kdplatform/trust.h"
#include "kdplatform/win32.h"

namespace nodyx {

std::string SharedDataFile(std::string_view name) {
  char folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  std::string native;
  const std::string windowsPath = std::string(folder) + "\\Maltrove\\" + std::string(name);
  return kdp::ToNativePath(windowsPath.c_str(), &native) ? native : std::string();
}

bool IsUntrusted(const std::string& path, std::string* why) {
  const DWORD error = kdp::CheckTrusted(path, why);
  if (error == 0 || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  if (why->empty()) *why = error == ERROR_ACCESS_DENIED ? "other users could change it" : "its owner cannot be checked";
  return true;
}

}  // namespace nodyx
