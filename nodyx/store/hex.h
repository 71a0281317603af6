// Identifier text form: upper-case hexadecimal, two digits per byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nodyx {

// Longest identifier a device may have. Its text (62 digits) plus the
// terminator fits the 64-byte identifier-text buffer callers pass.
inline constexpr std::size_t kMaxIdBytes = 31;

std::string ToHex(const std::uint8_t* bytes, std::size_t size);
// The same into `text`, which has room for 2 * size characters (no terminator).
void ToHex(const std::uint8_t* bytes, std::size_t size, char* text);

// Accepts upper or lower case; refuses empty text, an odd digit count and
// non-hex characters. Length limits are the caller's business.
std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text);
// The same into `out`, which has room for text.size() / 2 bytes; false
// (and `out` in an unknown state) for a text FromHex refuses.
bool FromHex(std::string_view text, std::uint8_t* out);

}  // namespace nodyx
