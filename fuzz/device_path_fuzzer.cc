// Device paths: ParseADPath, and IsADPathEqual on two paths (the input split
// at its first newline). A parsed path must name a type and an identifier,
// and the path MakeADPath writes for it must parse back to the same device
// and container.
#include "kdplatform/win32.h"
#include "keydepot/ad/device_path.h"
#include "sandbox.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using namespace keydepot::ad;
using keydepot::ComPtr;

void CheckRoundTrip(const IADPathProps& parsed) {
  if (parsed.GetDeviceType() == EAD_DeviceType_None || parsed.GetDeviceIDBytes().empty()) std::abort();
  std::string made;
  if (FAILED(MakeADPath(parsed.GetDeviceType(), parsed.GetDeviceIDBytes(), parsed.GetContainerName(), made))) return;
  IADPathProps* again = nullptr;
  if (FAILED(ParseADPath(made, &again))) std::abort();
  const auto held = ComPtr<IADPathProps>::Adopt(again);
  if (held->GetDeviceType() != parsed.GetDeviceType() || held->GetDeviceIDBytes() != parsed.GetDeviceIDBytes() ||
      held->GetContainerName() != parsed.GetContainerName()) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Sandbox();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  const std::string first = input.substr(0, cut);
  const std::string second = cut == std::string::npos ? input : input.substr(cut + 1);
  try {
    IADPathProps* parsed = nullptr;
    if (SUCCEEDED(ParseADPath(first, &parsed))) {
      const auto held = ComPtr<IADPathProps>::Adopt(parsed);
      std::string text;
      held->GetDeviceIDText(text);
      CheckRoundTrip(*held.get());
    }
    bool equal = false;
    IsADPathEqual(first, second, equal);
  } catch (long) {
    // A device-type filter that cannot be opened: documented to pass.
  }
  return 0;
}
