#include "state.h"

#include <stdexcept>

namespace kdtc::detail {

State& TheState() {
  // Never destroyed: component objects may be released during static
  // destruction of the test executable.
  static State* const state = new State;
  return *state;
}

void State::ResetProgrammed() {
  types.clear();
  devices.clear();
  faults.clear();
  deviceMgrPlan = {};
  typeMgrPlan = {};
  enumGivesNoCollection = false;
  collectionWithoutEnumerator = false;
  nextFetched.reset();
}

void State::ResetRecords() {
  callCounts.clear();
  pins.clear();
  loadedPaths.clear();
  savedPaths.clear();
  initializeFlag.reset();
  initializeHadTypeMgr = false;
  lastSink = nullptr;
}

DeviceEntry* State::Find(engine::DeviceKey key) {
  for (auto& entry : devices) {
    if (entry.key == key && !entry.removed) return &entry;
  }
  return nullptr;
}

DeviceEntry& State::At(std::size_t index) {
  if (index >= devices.size()) throw std::out_of_range("test component: no device with that index");
  return devices[index];
}

bool CallMatches(std::string_view pattern, std::string_view name) {
  if (name.size() < pattern.size() || name.compare(0, pattern.size(), pattern) != 0) return false;
  return name.size() == pattern.size() || name[pattern.size()] == '.';
}

}  // namespace kdtc::detail
