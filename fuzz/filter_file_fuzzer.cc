// The software token's device-type filter file, read from disk.
#include "sandbox.h"
#include "type_filter.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Sandbox();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = (fuzz::Sandbox() / "work" / "device_type_filter.xml").string();
  fuzz::WriteFile(path, data, size);
  nodyx::TypeFilter filter;
  nodyx::LoadTypeFilter(path, &filter);
  return 0;
}
