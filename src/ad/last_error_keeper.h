// Keeps a promise not to change the thread's last error: the value found at
// construction is put back at destruction, whatever the work in between set
// (opening a device-type filter resets it, a registry read sets it). Code in
// between may still read the last error of its own calls.
#pragma once

#include "kdplatform/win32.h"

namespace keydepot::detail {

class LastErrorKeeper {
 public:
  LastErrorKeeper() noexcept : saved_(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(saved_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  DWORD saved_;
};

}  // namespace keydepot::detail
