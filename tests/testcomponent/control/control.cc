// Control: the test-facing side of the shared state.
#include "testcomponent/control.h"

#include "state.h"

#include <stdexcept>

namespace kdtc {
namespace {

using detail::State;
using detail::TheState;

void CheckText(const std::string& text, std::size_t buffer, const char* what) {
  if (text.size() >= buffer) throw std::invalid_argument(std::string("test component: ") + what + " too long");
}

void CheckDevice(const Device& d) {
  if (d.id.size() > kMaxIdBytes) throw std::invalid_argument("test component: identifier too long");
  if (d.idText) CheckText(*d.idText, AD_ID_TEXT_BUFFER, "identifier text");
  CheckText(d.displayName, AD_NAME_BUFFER, "display name");
  CheckText(d.systemName, AD_NAME_BUFFER, "system name");
  if (d.defaultContainer) CheckText(*d.defaultContainer, AD_PATH_BUFFER, "default container");
  for (const auto& item : d.items) CheckText(item.first, AD_NAME_BUFFER, "item name");
  for (const auto& name : d.containers) CheckText(name, AD_NAME_BUFFER, "container name");
}

}  // namespace

Control& Control::Get() {
  static Control control;
  return control;
}

void Control::Reset() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.ResetProgrammed();
  s.ResetRecords();
}

void Control::AddDeviceType(int number, std::string name) {
  CheckText(name, AD_NAME_BUFFER, "type name");
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.types[number] = std::move(name);
}

std::size_t Control::AddDevice(Device device) {
  CheckDevice(device);
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  if (!s.types.contains(device.type)) s.types[device.type] = "Type" + std::to_string(device.type);
  s.devices.push_back({.key = s.nextKey++, .device = std::move(device)});
  return s.devices.size() - 1;
}

void Control::RemoveDevice(std::size_t index) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.At(index).removed = true;
}

void Control::SetAttached(std::size_t index, bool attached) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.At(index).device.attached = attached;
}

void Control::PutItem(std::size_t index, const std::string& name, Bytes bytes) {
  CheckText(name, AD_NAME_BUFFER, "item name");
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  auto& items = s.At(index).device.items;
  for (auto& item : items) {
    if (item.first == name) {
      item.second = std::move(bytes);
      return;
    }
  }
  items.emplace_back(name, std::move(bytes));
}

std::optional<Bytes> Control::Item(std::size_t index, const std::string& name) const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  for (const auto& item : s.At(index).device.items) {
    if (item.first == name) return item.second;
  }
  return std::nullopt;
}

Bytes Control::Record(const Bytes& payload) {
  const auto length = static_cast<std::uint32_t>(payload.size());
  // Sized once and filled in place: GCC 12 at -O2 misreads an insert after a
  // four-byte initialiser as an overrun.
  Bytes record(4 + payload.size());
  for (int i = 0; i < 4; ++i) record[static_cast<std::size_t>(i)] = static_cast<BYTE>(length >> (8 * i));
  std::copy(payload.begin(), payload.end(), record.begin() + 4);
  return record;
}

void Control::Force(Fault fault) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.faults.push_back({.fault = std::move(fault)});
}

void Control::Force(std::string call, HRESULT result) { Force(Fault{.call = std::move(call), .result = result}); }

void Control::ClearFaults() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.faults.clear();
}

void Control::GiveNoClassObject(ClassObject which, HRESULT success) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  auto& plan = which == ClassObject::DeviceMgr ? s.deviceMgrPlan : s.typeMgrPlan;
  plan = {.giveObject = false, .emptyResult = success};
}

void Control::EnumDevicesGivesNoCollection(bool on) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.enumGivesNoCollection = on;
}

void Control::CollectionWithoutEnumerator(bool on) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.collectionWithoutEnumerator = on;
}

void Control::NextReportsFetched(std::optional<ULONG> count) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.nextFetched = count;
}

void Control::ClearRecords() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.ResetRecords();
}

unsigned Control::CallCount(std::string_view call) const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  unsigned total = 0;
  for (const auto& [name, count] : s.callCounts) {
    if (detail::CallMatches(call, name)) total += count;
  }
  return total;
}

std::vector<std::string> Control::PresentedPins() const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.pins;
}

std::vector<std::string> Control::LoadedPaths() const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.loadedPaths;
}

std::vector<std::string> Control::SavedPaths() const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.savedPaths;
}

std::optional<bool> Control::LastInitializeFlag() const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.initializeFlag;
}

bool Control::LastInitializeHadTypeMgr() const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.initializeHadTypeMgr;
}

const void* Control::LastAdvisedSink() const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.lastSink;
}

long Control::HeldSinks() const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.heldSinks;
}

long Control::LiveObjects() const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  long total = 0;
  for (const auto& entry : s.liveObjects) total += entry.second;
  return total;
}

long Control::LiveObjects(std::string_view kind) const {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  auto it = s.liveObjects.find(kind);
  return it == s.liveObjects.end() ? 0 : it->second;
}

}  // namespace kdtc
