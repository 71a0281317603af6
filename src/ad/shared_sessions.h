// The process-wide session cores, created when first needed and destroyed at
// library unload (without unadvising, uninitialising or closing their
// filters).
#pragma once

#include "ad/session_core.h"

namespace keydepot::ad {

struct SharedSessions {
  SessionCore* silent[2] = {nullptr, nullptr};  // indexed by the silent flag
  SessionCore* interactive = nullptr;

  SharedSessions() = default;
  SharedSessions(const SharedSessions&) = delete;
  SharedSessions& operator=(const SharedSessions&) = delete;
  ~SharedSessions();
};

SharedSessions& SharedSessionCores();

}  // namespace keydepot::ad
