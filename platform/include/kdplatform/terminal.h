// The terminal the tools prompt for PINs on: a terminal on POSIX systems, the
// console on Windows. One file per system, chosen by CMake
// (platform/posix/terminal.cc, platform/windows/terminal.cc).
#pragma once

#include "kdplatform/export.h"

namespace kdp {

// Whether standard input is an interactive terminal (not a file or a pipe).
KDPLATFORM_API bool StandardInputIsTerminal() noexcept;

// Turns the echo of standard input off for its lifetime, so that a PIN typed
// at a prompt is never shown, and back on when it dies. Does nothing when
// standard input is no terminal or echoes nothing already. One at a time.
class KDPLATFORM_API NoEcho {
 public:
  NoEcho() noexcept;
  ~NoEcho();
  NoEcho(const NoEcho&) = delete;
  NoEcho& operator=(const NoEcho&) = delete;

 private:
  bool restore_ = false;
};

// While it lives, a console shows what the process writes in the process's
// ANSI code page, as a file or a pipe receives it (UTF-8 in the keydepot
// programs, whose manifest makes it their code page): the console's output
// code page is set to it, and set back when this dies. Does nothing where
// neither standard output nor standard error is a console, and on POSIX
// systems (a terminal shows the bytes as they come). One, in main().
class KDPLATFORM_API ConsoleShowsAnsiText {
 public:
  ConsoleShowsAnsiText() noexcept;
  ~ConsoleShowsAnsiText();
  ConsoleShowsAnsiText(const ConsoleShowsAnsiText&) = delete;
  ConsoleShowsAnsiText& operator=(const ConsoleShowsAnsiText&) = delete;

 private:
  unsigned previous_ = 0;  // the console's code page before, 0: left alone
};

}  // namespace kdp
