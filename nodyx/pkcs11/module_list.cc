#include "module_list.h"

#include "module_loader.h"
#include "kdplatform/file_io.h"
#include "kdplatform/native_path.h"
#include "kdplatform/win32.h"

#include <cstdlib>

namespace nodyx::pkcs11 {

namespace {

constexpr const char* kVariable = "NODYX_PKCS11_MODULES";
constexpr std::size_t kMaxConfigBytes = 64 * 1024;

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  while (!text.empty()) {
    const auto end = text.find(separator);
    const std::string_view part = Trim(text.substr(0, end));
    if (!part.empty()) parts.emplace_back(part);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return parts;
}

}  // namespace

std::vector<std::string> ParseModuleConfig(std::string_view text) {
  std::vector<std::string> paths;
  for (auto& line : Split(text, '\n')) {
    if (line.front() != '#') paths.push_back(std::move(line));
  }
  return paths;
}

std::string ModuleConfigPath() {
  char folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  std::string native;
  const std::string windowsPath = std::string(folder) + "\\Maltrove\\nodyx-pkcs11.conf";
  return kdp::ToNativePath(windowsPath.c_str(), &native) ? native : std::string();
}

ModuleList ReadModuleList() {
  ModuleList list;
  if (const char* value = std::getenv(kVariable); value != nullptr) {
    list.paths = Split(value, kModuleListSeparator);
    list.origin = kVariable;
    return list;
  }
  if (const std::string config = ModuleConfigPath(); !config.empty()) {
    kdp::WipedBytes bytes;
    const HRESULT hr = HRESULT_FROM_WIN32(kdp::ReadWholeFile(config, kMaxConfigBytes, &bytes));
    const std::string text(bytes.chars(), bytes.size());
    if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) && hr != HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
      // A file that is there but unreadable names no module: falling back to
      // other modules would hide the mistake.
      if (SUCCEEDED(hr)) list.paths = ParseModuleConfig(text);
      list.origin = SUCCEEDED(hr) ? config : config + " (cannot be read)";
      return list;
    }
  }
  list.registered = true;
  list.origin = kRegisteredModulesOrigin;
  return list;
}

}  // namespace nodyx::pkcs11
