#include "hex.h"

#include <array>

namespace nodyx {

namespace {

constexpr signed char HexDigitValue(int c) {
  if (c >= '0' && c <= '9') return static_cast<signed char>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<signed char>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<signed char>(c - 'a' + 10);
  return -1;
}

// Looked up, not tested by ranges: identifiers mix digits and letters, and
// the tests mispredict on them.
constexpr auto kDigitValues = [] {
  std::array<signed char, 256> values{};
  for (int c = 0; c < 256; ++c) values[static_cast<std::size_t>(c)] = HexDigitValue(c);
  return values;
}();

int DigitValue(char c) { return kDigitValues[static_cast<unsigned char>(c)]; }

}  // namespace

void ToHex(const std::uint8_t* bytes, std::size_t size, char* text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < size; ++i) {
    *text++ = kDigits[bytes[i] >> 4];
    *text++ = kDigits[bytes[i] & 0x0F];
  }
}

std::string ToHex(const std::uint8_t* bytes, std::size_t size) {
  std::string text(size * 2, '\0');
  ToHex(bytes, size, text.data());
  return text;
}

bool FromHex(std::string_view text, std::uint8_t* out) {
  if (text.empty() || text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = DigitValue(text[i]);
    const int low = DigitValue(text[i + 1]);
    if (high < 0 || low < 0) return false;
    *out++ = static_cast<std::uint8_t>(high << 4 | low);
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text) {
  std::vector<std::uint8_t> bytes(text.size() / 2);
  if (!FromHex(text, bytes.data())) return std::nullopt;
  return bytes;
}

}  // namespace nodyx
