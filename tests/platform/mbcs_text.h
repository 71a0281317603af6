// _mbsicmp and _mbslwr_s on std::string text, for the multibyte tests of
// both systems.
#pragma once

#include "kdplatform/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kdtest {

inline int ICmp(const char* a, const char* b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b));
}

// `text` lowered in a buffer of exactly its length and terminator.
inline std::string Lowered(std::string text) {
  std::vector<unsigned char> buffer(text.begin(), text.end());
  buffer.push_back(0);
  EXPECT_EQ(_mbslwr_s(buffer.data(), buffer.size()), 0);
  return reinterpret_cast<const char*>(buffer.data());
}

}  // namespace kdtest
