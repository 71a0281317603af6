// Uses the installed keydepot package through its one umbrella header, and
// checks that the library finds the component installed next to it.
#include <keydepot/keydepot.h>
// Opt-in: FAILED, GetLastError and SetLastError.
#include <keydepot/win32_compat.h>

#include <cstdio>
#include <cstdlib>

int main() {
  // A device path is parsed through the component's device-type objects, so
  // this only works when the library found nodyx next to itself.
  keydepot::ad::IADPathProps* parsed = nullptr;
  const HRESULT hr = keydepot::ad::ParseADPath("1|2\\5|100\\17|0A1B\\8|keys", &parsed);
  if (FAILED(hr)) {
    std::printf("consumer: ParseADPath failed (0x%08X)\n", static_cast<unsigned>(hr));
    return 1;
  }
  // The parsed path comes with one reference for the caller: the holder adopts it.
  const auto held = keydepot::ComPtr<keydepot::ad::IADPathProps>::Adopt(parsed);
  const std::string container = held->GetContainerName();

  // The thread's last error, which the open functions set, is readable here.
  SetLastError(0);
  if (keydepot::ad::CloseSession(0) != E_POINTER || GetLastError() != 0) return 1;

  std::printf("consumer: keydepot package found, component loaded, container \"%s\"\n", container.c_str());
  return container == "keys" ? 0 : 1;
}
