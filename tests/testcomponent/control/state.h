// The shared state behind Control and the engine: one instance per process,
// guarded by `mutex`. Private to the control library.
#pragma once

#include "testcomponent/control.h"
#include "testcomponent/engine.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kdtc::detail {

struct DeviceEntry {
  engine::DeviceKey key = 0;
  Device device;
  bool removed = false;
  bool pinVerified = false;
};

struct FaultEntry {
  Fault fault;
  unsigned seen = 0;  // matching calls so far
};

struct State {
  std::mutex mutex;

  // Programmed.
  std::map<int, std::string> types;
  std::vector<DeviceEntry> devices;  // index = insertion order
  std::vector<FaultEntry> faults;
  engine::ClassObjectPlan deviceMgrPlan;
  engine::ClassObjectPlan typeMgrPlan;
  bool enumGivesNoCollection = false;
  bool collectionWithoutEnumerator = false;
  std::optional<ULONG> nextFetched;

  // Recorded.
  std::map<std::string, unsigned, std::less<>> callCounts;
  std::vector<std::string> pins;
  std::vector<std::string> loadedPaths;
  std::vector<std::string> savedPaths;
  std::optional<bool> initializeFlag;
  bool initializeHadTypeMgr = false;
  const void* lastSink = nullptr;
  long heldSinks = 0;

  // Never reset: objects outlive tests' Reset calls.
  std::map<std::string, long, std::less<>> liveObjects;

  engine::DeviceKey nextKey = 1;

  void ResetProgrammed();
  void ResetRecords();
  // Device entry for a key, or null.
  DeviceEntry* Find(engine::DeviceKey key);
  DeviceEntry& At(std::size_t index);  // throws std::out_of_range
};

State& TheState();

// True when `name` equals `pattern` or starts with `pattern` + ".".
bool CallMatches(std::string_view pattern, std::string_view name);

}  // namespace kdtc::detail
