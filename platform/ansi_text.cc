#include "kdplatform/ansi_text.h"

namespace kdp {

DWORD WideToAnsi(const wchar_t* wide, int length, std::string* ansi) {
  if (length == 0) {
    ansi->clear();
    return 0;
  }
  // Most text is short: one conversion into a buffer on the stack does for
  // nearly all of it.
  char small[MAX_PATH];
  int size = WideCharToMultiByte(CP_ACP, 0, wide, length, small, sizeof small, nullptr, nullptr);
  if (size > 0) {
    ansi->assign(small, static_cast<std::size_t>(size));
  } else {
    size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return GetLastError();
    std::string converted(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, wide, length, converted.data(), size, nullptr, nullptr) != size) {
      return GetLastError();
    }
    *ansi = std::move(converted);
  }
  // A zero-terminated input converts its terminator too.
  if (length < 0 && !ansi->empty() && ansi->back() == '\0') ansi->pop_back();
  return 0;
}

}  // namespace kdp
