// Decimal numbers in the fields of device paths and storage locations, read
// as the 32-bit run-time reads them whatever the width of `long` here, so
// that one text names one number on every system.
#pragma once

#include <string_view>

namespace keydepot::detail {

// As the 32-bit strtol reads a number: leading blanks and a sign allowed,
// anything after the digits ignored, a value outside the 32-bit range
// clamped to its nearest end. False when there are no digits.
bool ReadLong32(std::string_view text, long& value);

// As the 32-bit atoi reads it: ReadLong32's value, 0 without digits.
long Atoi32(std::string_view text);

}  // namespace keydepot::detail
