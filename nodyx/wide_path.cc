#include "wide_path.h"

#include "kdplatform/native_path.h"

#include <vector>

namespace nodyx {

bool WidePathToNative(LPCOLESTR wide, std::string* native) {
  // Paths are short: one conversion into a buffer on the stack does for
  // nearly all of them.
  char small[MAX_PATH];
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, small, sizeof small, nullptr, nullptr) > 0) {
    return kdp::ToNativePath(small, native);
  }
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  std::vector<char> narrow(static_cast<std::size_t>(size));
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow.data(), size, nullptr, nullptr) != size) return false;
  narrow.back() = '\0';
  return kdp::ToNativePath(narrow.data(), native);
}

}  // namespace nodyx
