// kdplatform/terminal.h on POSIX terminals (termios).
#include "kdplatform/terminal.h"

#include <termios.h>
#include <unistd.h>

namespace kdp {

namespace {

// Sets or clears ECHO; true when the terminal took the change.
bool SetEcho(bool on) {
  termios settings{};
  if (tcgetattr(STDIN_FILENO, &settings) != 0) return false;
  if (on) {
    settings.c_lflag |= static_cast<tcflag_t>(ECHO);
  } else {
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  }
  return tcsetattr(STDIN_FILENO, TCSAFLUSH, &settings) == 0;
}

}  // namespace

bool StandardInputIsTerminal() noexcept { return isatty(STDIN_FILENO) == 1; }

NoEcho::NoEcho() noexcept {
  termios settings{};
  if (tcgetattr(STDIN_FILENO, &settings) == 0 && (settings.c_lflag & ECHO) != 0) restore_ = SetEcho(false);
}

NoEcho::~NoEcho() {
  if (restore_) SetEcho(true);
}

// A terminal takes the bytes as they come: nothing to set, nothing to restore.
ConsoleShowsAnsiText::ConsoleShowsAnsiText() noexcept = default;

ConsoleShowsAnsiText::~ConsoleShowsAnsiText() { static_cast<void>(previous_); }

}  // namespace kdp
