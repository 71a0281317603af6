#include "loader_events.h"

#include <link.h>

#include <cstring>

namespace kdbench {
namespace {

struct Search {
  const std::string* fileName;
  std::string found;
};

int FindModule(dl_phdr_info* info, size_t /*size*/, void* data) {
  auto* search = static_cast<Search*>(data);
  const char* name = info->dlpi_name;
  if (name == nullptr || *name == '\0') return 0;
  const char* slash = std::strrchr(name, '/');
  const char* base = slash ? slash + 1 : name;
  if (*search->fileName != base) return 0;
  search->found = name;
  return 1;
}

int ReadCounters(dl_phdr_info* info, size_t /*size*/, void* data) {
  auto* events = static_cast<LoaderEvents*>(data);
  events->loads = info->dlpi_adds;
  events->unloads = info->dlpi_subs;
  return 1;  // every entry carries the same process-wide counters
}

}  // namespace

LoaderEvents ReadLoaderEvents() {
  LoaderEvents events;
  dl_iterate_phdr(ReadCounters, &events);
  return events;
}

std::string MappedModulePath(const std::string& fileName) {
  Search search{&fileName, {}};
  dl_iterate_phdr(FindModule, &search);
  return search.found;
}

}  // namespace kdbench
