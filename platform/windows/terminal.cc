// kdplatform/terminal.h on the Windows console.
#include "kdplatform/terminal.h"

#include <windows.h>

namespace kdp {

namespace {

// Sets or clears ENABLE_ECHO_INPUT; true when the console took the change.
bool SetEcho(bool on) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) return false;
  return SetConsoleMode(input, on ? (mode | ENABLE_ECHO_INPUT) : (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT))) != 0;
}

}  // namespace

// A console answers GetConsoleMode; files, pipes and the NUL device (which
// _isatty would count as a terminal) do not.
bool StandardInputIsTerminal() noexcept {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

NoEcho::NoEcho() noexcept {
  DWORD mode = 0;
  if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) && (mode & ENABLE_ECHO_INPUT) != 0) {
    restore_ = SetEcho(false);
  }
}

NoEcho::~NoEcho() {
  if (restore_) SetEcho(true);
}

ConsoleShowsAnsiText::ConsoleShowsAnsiText() noexcept {
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) &&
      !GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode)) {
    return;
  }
  const UINT console = GetConsoleOutputCP();
  if (console != 0 && console != GetACP() && SetConsoleOutputCP(GetACP())) previous_ = console;
}

ConsoleShowsAnsiText::~ConsoleShowsAnsiText() {
  if (previous_ != 0) SetConsoleOutputCP(previous_);
}

}  // namespace kdp
