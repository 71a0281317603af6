// The process-wide session cores, created when first needed and destroyed at
// library unload (without unadvising, uninitialising or closing their
// filters).
//
// Threads: the slots are read and filled under the mutex; the cores they
// hold serialise their own use.
#pragma once

#include "ad/session_core.h"

#include <memory>
#include <mutex>

namespace keydepot::detail {

struct SharedSessions {
  std::mutex mutex;
  // Indexed by the slot numbers below.
  std::shared_ptr<SessionCore> cores[3];
  static constexpr int kSilent = 0;  // + 1 with the silent flag
  static constexpr int kInteractive = 2;

  SharedSessions() = default;
  SharedSessions(const SharedSessions&) = delete;
  SharedSessions& operator=(const SharedSessions&) = delete;
  // Takes the cores out of the handle table, so they are destroyed here.
  ~SharedSessions();
};

SharedSessions& SharedSessionCores();

}  // namespace keydepot::detail
