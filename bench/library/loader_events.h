// What the dynamic loader did between two points of a benchmark: how many
// modules it mapped and unmapped (glibc's running dlpi_adds / dlpi_subs
// counters), and whether a module is mapped now. Reading them walks the
// loaded-module list, so read them outside timed loops.
#pragma once

#include <string>

namespace kdbench {

struct LoaderEvents {
  unsigned long long loads = 0;
  unsigned long long unloads = 0;
};

LoaderEvents ReadLoaderEvents();

// The full path of the mapped module whose file name is `fileName`
// (e.g. "nodyx.so"); empty when none is mapped.
std::string MappedModulePath(const std::string& fileName);

}  // namespace kdbench
