#include "config_notice.h"

#include "output.h"

#include "pkcs11/module_list.h"
#include "base/shared_files.h"
#include "store/device_store.h"

#include <kdplatform/file_io.h>
#include <kdplatform/native_path.h>

#include <cstdlib>
#include <utility>

namespace kdcli {

void WarnAboutIgnoredConfiguration(const std::string& filterPath) {
  static bool warned = false;
  if (std::exchange(warned, true)) return;

  std::string filter = nodyx::SharedDataFile(nodyx::kTypeFilterFileName);
  if (!filterPath.empty() && !kdp::ToNativePath(filterPath.c_str(), &filter)) filter.clear();
  if (std::string why; !filter.empty() && nodyx::IsUntrusted(filter, &why)) {
    Warn("the device-type filter " + (filterPath.empty() ? filter : filterPath) + " is ignored: " + why +
         "; devices of every type are listed");
  }

  const nodyx::pkcs11::ModuleList modules = nodyx::pkcs11::ReadModuleList();
  if (modules.ignored) {
    Warn("the PKCS#11 module list " + modules.ignored->path + " is ignored: " + modules.ignored->reason);
  }
  for (const nodyx::pkcs11::ListedModule& module : modules.modules) {
    if (!module.refused.empty()) Warn("the PKCS#11 module " + module.path + " is not used: " + module.refused);
  }
}

void ExplainNoDevices() {
  std::string root;
  if (SUCCEEDED(nodyx::DeviceStore::DefaultRoot(&root))) {
    const char* variable = std::getenv("NODYX_STORE");
    const bool named = variable != nullptr && *variable != '\0';
    const std::string store = "the device store " + root + (named ? " (NODYX_STORE)" : "");
    kdp::FileInfo info;
    const DWORD error = kdp::QueryFile(root, &info);
    std::string why;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      Note(store + " does not exist" + (named ? "" : " yet: nodyx-admin create makes a device in it"));
    } else if (error == 0 && info.kind != kdp::FileKind::kFolder) {
      Warn(store + " is not a folder");
    } else if (error == 0 && FAILED(nodyx::DeviceStore(root).CheckRoot(&why))) {
      Warn(store + " is not used: " + why);
    }
  }
  const nodyx::pkcs11::ModuleList modules = nodyx::pkcs11::ReadModuleList();
  bool listed = false;
  for (const nodyx::pkcs11::ListedModule& module : modules.modules) {
    if (!module.refused.empty()) continue;  // WarnAboutIgnoredConfiguration told
    listed = true;
    kdp::FileInfo info;
    if (kdp::QueryFile(module.path, &info) != 0) Warn("the PKCS#11 module " + module.path + " does not exist");
  }
  if (listed) Note("nodyx-admin pkcs11 modules tells whether each PKCS#11 module loads, and why not");
}

}  // namespace kdcli
