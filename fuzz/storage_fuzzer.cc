// The storage dispatch with the operations that only read: Load,
// LoadVpn2Pass, GetSize, IsExist, GetStorageName and GetDeviceID. Device
// paths reach the software token's devices in the sandbox; a folder path is
// tried only when it lies inside the sandbox, so that no input can make the
// fuzzer read a device file or a FIFO of the system.
#include "keydepot/storage.h"
#include "library_session.h"
#include "storage/create_cartridge.h"
#include "storage/fls_cartridge.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

bool Allowed(const std::string& path) {
  try {
    const auto cartridge = keydepot::CreateCartridge(path);
    const auto* folder = dynamic_cast<const keydepot::FlsCartridge*>(cartridge.get());
    return !folder || fuzz::IsInsideSandbox(folder->item);
  } catch (long) {
    return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::LibrarySession();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keydepot;
  const std::string path(reinterpret_cast<const char*>(data), size);
  if (!Allowed(path)) return 0;
  try {
    IdentObj bytes;
    CertInfo record;
    record.path = path;
    record.data = &bytes;
    record.session = fuzz::LibrarySession();
    Load(&record);
    LoadVpn2Pass(&record);
    GetSize(&record);
    IsExist(&record);
    GetStorageName(path.c_str());
    GetDeviceID(path.c_str());
  } catch (long) {
    // A device-type filter that cannot be opened: documented to pass.
  }
  return 0;
}
