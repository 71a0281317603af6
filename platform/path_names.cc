#include "kdplatform/path_names.h"

#include "folders.h"
#include "kdplatform/file_io.h"

namespace kdp {

std::string JoinPath(const std::string& folder, const std::string& name) { return detail::JoinPath(folder, name); }

std::string ParentOf(const std::string& path) { return detail::ParentOf(path); }

bool IsSameFile(const std::string& a, const std::string& b) {
  FileInfo ia;
  FileInfo ib;
  if (QueryFile(a, &ia) != 0 || QueryFile(b, &ib) != 0) return false;
  // Zero where the system keeps no identity: then nothing proves sameness.
  if (ia.version.device == 0 && ia.version.node == 0) return false;
  return ia.version.device == ib.version.device && ia.version.node == ib.version.node;
}

}  // namespace kdp
