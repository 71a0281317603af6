// The engine: what the module asks of the shared state.
#include "testcomponent/engine.h"

#include "state.h"
#include "testcomponent/id_text.h"

namespace kdtc::engine {
namespace {

using detail::State;
using detail::TheState;

bool ScopeMatches(State& s, const Fault& f, const Call& call) {
  if (!detail::CallMatches(f.call, call.name)) return false;
  if (f.device >= 0 || f.deviceId) {
    const detail::DeviceEntry* entry = nullptr;
    for (const auto& e : s.devices) {
      if (e.key == call.device) entry = &e;
    }
    if (!entry) return false;
    if (f.device >= 0 && (static_cast<std::size_t>(f.device) >= s.devices.size() ||
                          s.devices[static_cast<std::size_t>(f.device)].key != call.device)) {
      return false;
    }
    if (f.deviceId && entry->device.id != *f.deviceId) return false;
  }
  return !f.name || *f.name == call.arg;
}

// Wide text (UTF-32 on this platform) to UTF-8; invalid code points become '?'.
std::string ToUtf8(const wchar_t* text) {
  std::string out;
  if (!text) return out;
  for (; *text; ++text) {
    const auto c = static_cast<std::uint32_t>(*text);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0x10000 && c < 0x110000) {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += '?';
    }
  }
  return out;
}

}  // namespace

std::optional<HRESULT> Enter(const Call& call) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  ++s.callCounts[std::string(call.name)];

  std::optional<HRESULT> forced;
  for (auto& entry : s.faults) {
    if (!ScopeMatches(s, entry.fault, call)) continue;
    const unsigned n = ++entry.seen;
    const Fault& f = entry.fault;
    const bool fires = f.nth == 0 || n == f.nth || (f.onwards && n > f.nth);
    if (fires && !forced) forced = f.result;
  }
  return forced;
}

void ObjectCreated(const char* kind) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  ++s.liveObjects[kind];
}

void ObjectDestroyed(const char* kind) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  --s.liveObjects[kind];
}

ClassObjectPlan PlanClassObject(ClassObject which) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return which == ClassObject::DeviceMgr ? s.deviceMgrPlan : s.typeMgrPlan;
}

bool EnumDevicesGivesNoCollection() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.enumGivesNoCollection;
}

bool CollectionAnswersEnumerator() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return !s.collectionWithoutEnumerator;
}

std::optional<ULONG> NextFetchedCount() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  return s.nextFetched;
}

std::vector<DeviceKey> AttachedDevices() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  std::vector<DeviceKey> keys;
  for (const auto& entry : s.devices) {
    if (!entry.removed && entry.device.attached) keys.push_back(entry.key);
  }
  return keys;
}

std::optional<Device> FindDevice(DeviceKey key) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  const auto* entry = s.Find(key);
  if (!entry || !entry->device.attached) return std::nullopt;
  return entry->device;
}

std::optional<std::string> TypeName(int number) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  auto it = s.types.find(number);
  if (it == s.types.end()) return std::nullopt;
  return it->second;
}

std::string DisplayNameFor(int type, const Bytes& id) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  for (const auto& entry : s.devices) {
    if (!entry.removed && entry.device.type == type && entry.device.id == id) return entry.device.displayName;
  }
  auto it = s.types.find(type);
  std::string name = (it == s.types.end() ? "Type" + std::to_string(type) : it->second) + " " + IdToHex(id);
  if (name.size() >= AD_NAME_BUFFER) name.resize(AD_NAME_BUFFER - 1);
  return name;
}

bool PresentPin(DeviceKey key, const char* pin) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.pins.emplace_back(pin ? pin : "");
  auto* entry = s.Find(key);
  if (!entry) return false;
  entry->pinVerified = pin && (!entry->device.pin || *entry->device.pin == pin);
  return entry->pinVerified;
}

bool ItemsUnlocked(DeviceKey key) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  const auto* entry = s.Find(key);
  if (!entry) return false;
  return !entry->device.pin || !entry->device.itemsNeedPin || entry->pinVerified;
}

HRESULT WriteItem(DeviceKey key, const std::string& name, Bytes bytes) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  auto* entry = s.Find(key);
  if (!entry || !entry->device.attached) return kDeviceNotConnected;
  if (name.empty() || name.size() >= AD_NAME_BUFFER) return E_INVALIDARG;
  for (auto& item : entry->device.items) {
    if (item.first == name) {
      item.second = std::move(bytes);
      return S_OK;
    }
  }
  entry->device.items.emplace_back(name, std::move(bytes));
  return S_OK;
}

HRESULT DeleteItem(DeviceKey key, const std::string& name) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  auto* entry = s.Find(key);
  if (!entry || !entry->device.attached) return kDeviceNotConnected;
  auto& items = entry->device.items;
  for (auto it = items.begin(); it != items.end(); ++it) {
    if (it->first == name) {
      items.erase(it);
      return S_OK;
    }
  }
  return kNotFound;
}

void RecordInitialize(bool flag, bool hadTypeMgr) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.initializeFlag = flag;
  s.initializeHadTypeMgr = hadTypeMgr;
}

void RecordAdvise(const void* sink) {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  s.lastSink = sink;
  ++s.heldSinks;
}

void RecordUnadvise() {
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  --s.heldSinks;
}

void RecordPersist(PersistOp op, const wchar_t* path) {
  std::string text = ToUtf8(path);
  State& s = TheState();
  std::lock_guard lock(s.mutex);
  (op == PersistOp::Load ? s.loadedPaths : s.savedPaths).push_back(std::move(text));
}

}  // namespace kdtc::engine
