// Decimal numbers in the fields of device paths and storage locations, read
// as the 32-bit run-time reads them whatever the width of `long` here, so
// that one text names one number on every system.
#pragma once

#include <string_view>

namespace keydepot::detail {

// ReadLong32 through strtol, for any text.
bool ReadLong32WithStrtol(std::string_view text, long& value);

// As the 32-bit strtol reads a number: leading blanks and a sign allowed,
// anything after the digits ignored, a value outside the 32-bit range
// clamped to its nearest end. False when there are no digits. Inline: every
// field of a device path is read with it.
inline bool ReadLong32(std::string_view text, long& value) {
  // Plain digits, as this library writes them, read the same without strtol.
  if (text.empty() || text.size() > 9) return ReadLong32WithStrtol(text, value);
  long read = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return ReadLong32WithStrtol(text, value);
    read = read * 10 + (c - '0');
  }
  value = read;
  return true;
}

// As the 32-bit atoi reads it: ReadLong32's value, 0 without digits.
long Atoi32(std::string_view text);

}  // namespace keydepot::detail
