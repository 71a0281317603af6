// Full storage paths: ParseFullPath, GetStorageType, ArePathsEqual (the input
// split at its first newline) and MakeFullPath2. Device designations reach
// the software token's devices in the sandbox; file-system paths are only
// looked at, never written.
#include "keydepot/storage_path.h"
#include "sandbox.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Sandbox();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keydepot;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  const std::string first = input.substr(0, cut);
  const std::string second = cut == std::string::npos ? input : input.substr(cut + 1);
  try {
    bool isDevice = false;
    CTOOString location, container, subName;
    ParseFullPath(first.c_str(), &isDevice, &location, &container, &subName);
    eStorageType type = StorageNone;
    GetStorageType(first.c_str(), type);
    ArePathsEqual(CTOOString(first.c_str()), CTOOString(second.c_str()), size % 2 == 0);
    CTOOString full;
    MakeFullPath2(full, CTOOString(first.c_str()), size % 3 == 0);
  } catch (long) {
    // A device-type filter that cannot be opened: documented to pass.
  }
  return 0;
}
