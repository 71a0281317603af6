// Maps the 32-bit handles that callers hold to the library's session and
// filter cores. Handles cannot be object addresses in a 64-bit process, so each
// core gets a value from one process-wide counter when it is registered and
// keeps it until it is unregistered; 0 is never issued and values are not
// reused while the counter lasts (2^32 - 1 registrations). A value that was
// never issued, or whose core is gone, finds nothing, so callers can refuse it
// instead of touching freed memory.
//
// Threads: registration and lookup are serialised by a mutex, so cores opened
// and closed on different threads never corrupt the table. What a looked-up
// core may be used for concurrently is the core's business.
#pragma once

#include "kdplatform/win32.h"

#include <mutex>
#include <unordered_map>

namespace keydepot::ad {

DWORD NextHandleValue();

template <class Core>
class HandleTable {
 public:
  DWORD Register(Core* core) {
    std::lock_guard<std::mutex> lock(mutex_);
    DWORD handle;
    do {
      handle = NextHandleValue();
    } while (cores_.count(handle) != 0);
    cores_.emplace(handle, core);
    return handle;
  }

  void Unregister(DWORD handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    cores_.erase(handle);
  }

  // The live core behind handle, or null for 0, a value never issued and a
  // core already unregistered.
  Core* Find(DWORD handle) const {
    if (handle == 0) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cores_.find(handle);
    return it == cores_.end() ? nullptr : it->second;
  }

 private:
  mutable std::mutex mutex_;
  std::unordered_map<DWORD, Core*> cores_;
};

}  // namespace keydepot::ad
