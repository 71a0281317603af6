// The component side of the test component's control library: what the
// nodyx.so module asks of the shared state. Tests use control.h instead.
//
// Devices are named by a key that never repeats within the process, so an
// object of a removed device never reaches a device added later. Every
// function takes the state lock for its own duration only.
#pragma once

#include "testcomponent/control.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kdtc::engine {

using DeviceKey = std::uint64_t;  // 0 = no device

// One call into the component: counted, logged, and matched against the
// forced results.
struct Call {
  std::string_view name;
  DeviceKey device = 0;
  std::string_view arg = {};  // name argument, see Fault::name
};

// Counts the call; returns the forced result, if one matches.
KDTC_API std::optional<HRESULT> Enter(const Call& call);

KDTC_API void ObjectCreated(const char* kind);
KDTC_API void ObjectDestroyed(const char* kind);

struct ClassObjectPlan {
  bool giveObject = true;
  HRESULT emptyResult = S_OK;  // when giveObject is false
};
KDTC_API ClassObjectPlan PlanClassObject(ClassObject which);
KDTC_API bool EnumDevicesGivesNoCollection();
KDTC_API bool CollectionAnswersEnumerator();
KDTC_API std::optional<ULONG> NextFetchedCount();

// Devices visible to an enumeration right now, in order.
KDTC_API std::vector<DeviceKey> AttachedDevices();
// Current state of a device; nullopt once it is removed or detached.
KDTC_API std::optional<Device> FindDevice(DeviceKey key);
// The type's name; nullopt for a number the component does not know.
KDTC_API std::optional<std::string> TypeName(int number);
// Display name of the first known device with this type and identifier, or
// "<type name> <identifier text>".
KDTC_API std::string DisplayNameFor(int type, const Bytes& id);

// PIN handling; false when refused. Records the PIN.
KDTC_API bool PresentPin(DeviceKey key, const char* pin);
// True when item and container access is allowed now.
KDTC_API bool ItemsUnlocked(DeviceKey key);
KDTC_API HRESULT WriteItem(DeviceKey key, const std::string& name, Bytes bytes);
KDTC_API HRESULT DeleteItem(DeviceKey key, const std::string& name);

KDTC_API void RecordInitialize(bool flag, bool hadTypeMgr);
KDTC_API void RecordAdvise(const void* sink);
KDTC_API void RecordUnadvise();
enum class PersistOp { Load, Save };
KDTC_API void RecordPersist(PersistOp op, const wchar_t* path);

}  // namespace kdtc::engine
