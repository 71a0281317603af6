// The probe modules on Linux: the loader's own link map tells what is mapped.
#include "../probe_modules.h"

#include <link.h>

namespace kdtest::probe {

const char* const kFileName = "PlatProbe.SO";

bool IsMapped(const std::string& name) {
  struct Query {
    const std::string* name;
    bool found;
  } query{&name, false};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* q = static_cast<Query*>(data);
        if (info->dlpi_name && std::string(info->dlpi_name).find(*q->name) != std::string::npos) q->found = true;
        return 0;
      },
      &query);
  return query.found;
}

bool IsThisProgram(const std::string& path) {
  return std::filesystem::canonical(path) == std::filesystem::canonical("/proc/self/exe");
}

}  // namespace kdtest::probe
