// Maps the 32-bit handles that callers hold to the library's session and
// filter cores. Handles cannot be object addresses in a 64-bit process, so each
// core gets a value from one process-wide counter when it is registered and
// keeps it until it is unregistered; 0 is never issued and values are not
// reused while the counter lasts (2^32 - 1 registrations). A value that was
// never issued, or whose core is gone, finds nothing, so callers can refuse it
// instead of touching freed memory.
//
// Ownership: the table holds one shared owner of each registered core and a
// lookup hands the caller another, so a core that one thread is using lives on
// after another thread unregisters it, until the last user lets go.
// Threads: registration and lookup are serialised by a mutex, so cores opened
// and closed on different threads never corrupt the table. What a looked-up
// core may be used for concurrently is the core's business.
#pragma once

#include "kdplatform/win32.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace keydepot::detail {

DWORD NextHandleValue();

template <class Core>
class HandleTable {
 public:
  DWORD Register(std::shared_ptr<Core> core) {
    std::lock_guard<std::mutex> lock(mutex_);
    DWORD handle;
    do {
      handle = NextHandleValue();
    } while (cores_.count(handle) != 0);
    cores_.emplace(handle, std::move(core));
    return handle;
  }

  // Takes the core out of the table and hands the table's owner to the
  // caller (null when handle finds nothing).
  std::shared_ptr<Core> Unregister(DWORD handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cores_.find(handle);
    if (it == cores_.end()) return nullptr;
    std::shared_ptr<Core> core = std::move(it->second);
    cores_.erase(it);
    return core;
  }

  // The live core behind handle, or null for 0, a value never issued and a
  // core already unregistered.
  std::shared_ptr<Core> Find(DWORD handle) const {
    if (handle == 0) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cores_.find(handle);
    return it == cores_.end() ? nullptr : it->second;
  }

 private:
  mutable std::mutex mutex_;
  std::unordered_map<DWORD, std::shared_ptr<Core>> cores_;
};

}  // namespace keydepot::detail
