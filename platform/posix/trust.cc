// Placeholder until the real check lands: says only whether the path exists.
#include "kdplatform/trust.h"

#include "kdplatform/file_io.h"

namespace kdp {

DWORD CheckTrusted(const std::string& path, std::string* why) {
  if (why) why->clear();
  FileInfo info;
  return QueryFile(path, &info);
}

}  // namespace kdp
