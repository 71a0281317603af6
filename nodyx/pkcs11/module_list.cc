#include "module_list.h"

#include "base/shared_files.h"

#include "kdplatform/file_io.h"
#include "kdplatform/path_names.h"
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

std::vector<ListedModule> Check(const std::vector<std::string>& paths) {
  std::vector<ListedModule> modules;
  for (const std::string& path : paths) {
    ListedModule& module = modules.emplace_back(ListedModule{path, {}});
    std::string why;
    if (!kdp::IsAbsolutePath(path)) {
      module.refused = "not an absolute path";
    } else if (IsUntrusted(path, &why)) {
      module.refused = "not trusted: " + why;
    }
  }
  return modules;
}

}  // namespace

std::vector<std::string> ParseModuleConfig(std::string_view text) {
  std::vector<std::string> paths;
  for (auto& line : Split(text, '\n')) {
    if (line.front() != '#') paths.push_back(std::move(line));
  }
  return paths;
}

std::string ModuleConfigPath() { return SharedDataFile(kModuleConfigFileName); }

ModuleList ReadModuleList() {
  ModuleList list;
  if (const char* value = std::getenv(kVariable); value != nullptr) {
    list.modules = Check(Split(value, kModuleListSeparator));
    list.origin = kVariable;
    return list;
  }
  if (const std::string config = ModuleConfigPath(); !config.empty()) {
    std::string why;
    if (IsUntrusted(config, &why)) {
      list.ignored = IgnoredFile{config, why};
    } else {
      kdp::WipedBytes bytes;
      const DWORD error = kdp::ReadWholeFile(config, kMaxConfigBytes, &bytes);
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        // A file that is there but unreadable names no module: falling back
        // to other modules would hide the mistake.
        if (error == 0) list.modules = Check(ParseModuleConfig(std::string_view(bytes.chars(), bytes.size())));
        list.origin = error == 0 ? config : config + " (cannot be read)";
        return list;
      }
    }
  }
  list.registered = true;
  return list;
}

}  // namespace nodyx::pkcs11
