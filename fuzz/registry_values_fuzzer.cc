// The registry store's values file (".values" in a key's folder), read
// through the toolkit's registry class as the library reads saved PINs.
#include "kdplatform/win32.h"
#include "sandbox.h"
#include "tools2/registry.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::filesystem::create_directories(fuzz::Sandbox() / "registry" / "software" / "fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto file = fuzz::Sandbox() / "registry" / "software" / "fuzz" / ".values";
  fuzz::WriteFile(file, data, size);
  try {
    CTooRegHLM key("SOFTWARE\\Fuzz", TOOREG_READ);
    unsigned char buffer[261];
    key.GetBufferLength("PIN");
    key.GetMemory("PIN", buffer, sizeof buffer);
    DWORD value = 0;
    key.GetValueEx("SavePIN", REG_DWORD, &value, sizeof value);
  } catch (const XTOORegError&) {
    // A values file that does not read is a registry error, as documented.
  }
  return 0;
}
