// What `keydepot show` tells of an item (cli/item_summary.h): any bytes as
// PEM or DER, the private-key walk's hostile lengths among them. Whatever
// the bytes, a description of unrecognised data holds its size, its
// encoding and at most a line count, and a private key is told by kind,
// key type and size, or PEM label only.
#include "item_summary.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string_view>

namespace {

// Whether every member of object is one of these.
bool OnlyMembers(const kdcli::Json& object, std::initializer_list<std::string_view> allowed) {
  for (const auto& [name, value] : object.items()) {
    bool known = false;
    for (const std::string_view a : allowed) known = known || name == a;
    if (!known) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kdcli::Json description = kdcli::DescribeItem(data, size);
  if (!OnlyMembers(description, {"bytes", "encoding", "objects", "lines"})) std::abort();
  if (description["objects"].empty() && description["encoding"] != "unknown") std::abort();
  for (const kdcli::Json& object : description["objects"]) {
    const bool secret = object["kind"] == "private key" || object["kind"] == "encrypted private key";
    if (secret && !OnlyMembers(object, {"kind", "key", "label"})) std::abort();
    if (object.contains("key") && !OnlyMembers(object["key"], {"type", "bits", "group"})) std::abort();
  }
  (void)kdcli::SummaryLine(description);
  return 0;
}
