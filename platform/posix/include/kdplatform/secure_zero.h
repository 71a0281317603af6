// SecureZeroMemory: clears memory that held a secret in a way the compiler
// may not optimise away (Windows: the system's inline function).
#pragma once

#include <cstddef>
#include <string.h>

inline void* SecureZeroMemory(void* destination, std::size_t length) {
  if (destination && length) ::explicit_bzero(destination, length);
  return destination;
}
