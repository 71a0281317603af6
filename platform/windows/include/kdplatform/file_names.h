// The module file suffix, and the separator this project writes when it
// builds a file-system path (both separators are accepted when reading).
#pragma once

#define KDP_MODULE_SUFFIX ".dll"
inline constexpr char KDP_PATH_SEPARATOR = '\\';
