// The silent session through which the library targets reach the sandbox's
// devices: opened on first use and kept for the life of the process.
#pragma once

#include "keydepot/ad/session.h"
#include "sandbox.h"

namespace fuzz {

inline DWORD LibrarySession() {
  static const DWORD session = (Sandbox(), keydepot::ad::OpenSilentSession(nullptr));
  return session;
}

}  // namespace fuzz
