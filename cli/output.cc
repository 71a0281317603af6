#include "output.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace kdcli {

void PrintJson(const Json& value) {
  // Names and paths come from devices and users; bytes that are not UTF-8
  // are replaced rather than failing the whole answer.
  std::cout << value.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

void PrintFields(const Fields& fields) {
  std::size_t width = 0;
  for (const auto& [label, value] : fields) width = std::max(width, label.size());
  for (const auto& [label, value] : fields) {
    std::cout << label << std::string(width - label.size() + 2, ' ') << value << '\n';
  }
}

std::string HexBytes(const unsigned char* data, std::size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

}  // namespace kdcli
