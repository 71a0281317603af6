// Container listing: GetADContainerNames on any location, with the two flags
// taken from the input's first byte.
#include "keydepot/ad/containers.h"
#include "library_session.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::LibrarySession();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string location(reinterpret_cast<const char*>(data + 1), size - 1);
  std::list<std::string> names;
  keydepot::ad::GetADContainerNames(fuzz::LibrarySession(), location.c_str(), names, (data[0] & 1) != 0,
                                    (data[0] & 2) != 0);
  return 0;
}
