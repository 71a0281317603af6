#include "config_notice.h"

#include "output.h"

#include "pkcs11/module_list.h"
#include "shared_files.h"

#include <kdplatform/native_path.h>

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

}  // namespace kdcli
