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

}  // namespace kdp
