// Printing results: JSON for scripts (one object, one line, on standard
// output) or aligned "label  value" lines for people.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

namespace kdcli {

using Json = nlohmann::ordered_json;
using Fields = std::vector<std::pair<std::string, std::string>>;

void PrintJson(const Json& value);
// Labels padded to one column.
void PrintFields(const Fields& fields);
// Identifier bytes as upper-case hex ("" for none).
std::string HexBytes(const unsigned char* data, std::size_t size);

}  // namespace kdcli
