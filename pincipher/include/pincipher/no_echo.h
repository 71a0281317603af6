// NoEcho: turns a terminal's echo off for its lifetime, so a PIN typed at a
// prompt is never shown. Shared by the tools that prompt for PINs. Does
// nothing when fd is not a terminal.
#pragma once

#include <termios.h>

namespace pincipher {

class NoEcho {
 public:
  explicit NoEcho(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &saved_) == 0) {
      termios quiet = saved_;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      active_ = tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
    }
  }
  ~NoEcho() {
    if (active_) tcsetattr(fd_, TCSAFLUSH, &saved_);
  }
  NoEcho(const NoEcho&) = delete;
  NoEcho& operator=(const NoEcho&) = delete;

 private:
  int fd_;
  termios saved_{};
  bool active_ = false;
};

}  // namespace pincipher
