// The software token's device description (device.json). A description that
// parses must write back to text that parses to the same description.
#include "store/device_record.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string problem;
  const auto record = nodyx::ParseDeviceRecord(text, &problem);
  if (!record) {
    if (problem.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  const std::string written = nodyx::SerializeDeviceRecord(*record);
  const auto again = nodyx::ParseDeviceRecord(written);
  if (!again || nodyx::SerializeDeviceRecord(*again) != written) std::abort();
  return 0;
}
