// Bounded string copy of the Windows C library.
#include "kdplatform/crt.h"

#include <cerrno>
#include <cstring>

errno_t kdp::strcpy_s(char* dest, std::size_t destSize, const char* src) {
  if (!dest || destSize == 0) return EINVAL;
  if (!src) {
    dest[0] = '\0';
    return EINVAL;
  }
  const std::size_t length = strnlen(src, destSize);
  if (length == destSize) {
    dest[0] = '\0';
    return ERANGE;
  }
  std::memcpy(dest, src, length + 1);
  return 0;
}
