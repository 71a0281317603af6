// The software token's device-type filter file: its text through the
// system's XML reader (pugixml here), and a filter read from it written out
// and read back the same.
#include "kdplatform/win32.h"
#include "type_filter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nodyx::TypeFilter filter;
  if (FAILED(nodyx::ParseTypeFilter(std::string_view(reinterpret_cast<const char*>(data), size), &filter))) return 0;
  std::string text;
  nodyx::TypeFilter again;
  if (FAILED(nodyx::FormatTypeFilter(filter, &text)) || FAILED(nodyx::ParseTypeFilter(text, &again))) std::abort();
  // Writing adds every known type, enabled unless the filter says otherwise.
  for (const auto& [number, enabled] : again.enabled) {
    if (filter.IsEnabled(number) != enabled) std::abort();
  }
  for (const auto& [number, enabled] : filter.enabled) {
    if (again.IsEnabled(number) != enabled) std::abort();
  }
  return 0;
}
