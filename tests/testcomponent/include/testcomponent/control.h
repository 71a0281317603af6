// Control of the programmable test component: the nodyx.so that the library's
// tests load instead of the software token.
//
// All devices, forced results and records live in this shared library, not in
// the module, so they survive the module being unloaded and loaded again and
// can be inspected after the library under test has freed the module. The
// module links this library by its soname, so it talks to the same instance
// as the test executable.
//
// Typical use:
//   auto& tc = kdtc::Control::Get();
//   tc.Reset();
//   tc.AddDeviceType(100, "Token");
//   tc.AddDevice({.type = 100, .id = {0x0A, 0x1B}, .displayName = "Token A"});
//   tc.Force({.call = "Device.GetID", .result = E_FAIL, .device = 0});
//   ... drive the library ...
//   EXPECT_EQ(tc.LiveObjects(), 0);
//
// Call names are "<Interface>.<Operation>" (listed in docs/testing.md), for
// example "DeviceMgr.Initialize", "EnumDevice.Reset", "PersistFile.Save",
// "Device.GetID", "KeyStorage.Read", "Container.GetName". Wherever a call name
// is taken, a prefix ending before a '.' also matches: "Device" covers every
// "Device.*" call, "GetClassObject" covers both class objects.
//
// Thread rule: every member may be called from any thread; the state is
// guarded by one lock. Component objects never hold that lock while calling
// out of the component.
#pragma once

#include "kdplatform/win32.h"

#include "keydepot/ad/component.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The control library is a DLL of its own on Windows.
#if defined(_WIN32)
#if defined(KDTC_BUILDING)
#define KDTC_API __declspec(dllexport)
#else
#define KDTC_API __declspec(dllimport)
#endif
#else
#define KDTC_API __attribute__((visibility("default")))
#endif

namespace kdtc {

using Bytes = std::vector<BYTE>;

// Result of a call on a device that was removed or detached after the test
// obtained its object: HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED).
inline constexpr HRESULT kDeviceNotConnected = HRESULT_FROM_WIN32(1167);
// Result of reading, deleting or opening something that does not exist.
inline constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
// Result of a wrong PIN, and of item access before the PIN was presented.
inline constexpr HRESULT kPinRefused = E_ACCESSDENIED;

// Longest identifier whose text (two hex digits per byte) fits the 64-byte
// identifier-text buffer with its terminator.
inline constexpr std::size_t kMaxIdBytes = (AD_ID_TEXT_BUFFER - 1) / 2;

// One device. Fields are what the device's slots answer.
struct Device {
  int type = 100;  // EAD_DeviceType; registered as "Type<n>" if unknown
  Bytes id{};      // IAD_Device 3; at most kMaxIdBytes
  // IAD_Device 3's size query answers this size instead of the identifier's.
  std::optional<DWORD> reportedIdSize{};
  std::optional<std::string> idText{};  // IAD_Device 4; default: upper-case hex of id
  std::string displayName{};            // IAD_Device 6
  std::string systemName{};             // IAD_Device 7
  // IAD_Device 23. nullopt: the device has none, the call fails with kNotFound.
  std::optional<std::string> defaultContainer{};
  DWORD sizeValue = 0;               // IAD_Device 10
  DWORD room = 0xFFFFFFFFu;          // IAD_Device 11
  bool keyStorage = true;            // answers IAD_KeyStorage
  bool cryptoDevice = false;         // answers IAD_CryptoDevice
  int cryptoFlag = 0;                // IAD_CryptoDevice 7
  std::optional<std::string> pin{};  // PresentPIN refuses any other text
  // With a PIN: item and container access fails with kPinRefused until the
  // right PIN has been presented (the device stays verified until Reset or a
  // wrong PIN).
  bool itemsNeedPin = false;
  // KeyStorage.Read of an item larger than the buffer reports exactly the
  // capacity instead of the item's size (both satisfy the read contract).
  bool overflowReportsCapacity = false;
  // IAD_KeyStorage items, stored as raw bytes (see Record), in this order.
  std::vector<std::pair<std::string, Bytes>> items{};
  // IAD_CryptoDevice containers, in this order.
  std::vector<std::string> containers{};
  bool attached = true;  // detached devices are not enumerated
};

// A result forced on matching calls. A negative result makes the call fail
// without doing anything (out pointers are nulled, counts left as they were);
// zero or a positive result lets the call do its work and return that code.
struct Fault {
  std::string call{};  // call name or prefix, see above
  HRESULT result = E_FAIL;
  int device = -1;                  // device index (insertion order); -1 any
  std::optional<Bytes> deviceId{};  // or the device with this identifier
  // The call's name argument: item or container name for KeyStorage,
  // CryptoDevice, Container and StorageItem calls; the type number in decimal
  // for TypeMgr.GetDeviceType and DeviceType calls.
  std::optional<std::string> name{};
  unsigned nth = 0;      // 0: every matching call; n: the n-th only
  bool onwards = false;  // with nth: the n-th and all later ones
};

enum class ClassObject { DeviceMgr, DeviceTypeMgr };

class KDTC_API Control {
 public:
  static Control& Get();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Forgets devices, types, faults, behaviours and records. The live-object
  // count is not touched: objects still alive stay counted.
  void Reset();

  // --- Device types (IAD_DeviceTypeMgr 9, IAD_DeviceType 3/4) ---
  void AddDeviceType(int number, std::string name);

  // --- Devices. Indexes are insertion order and stay valid until Reset;
  // removed devices keep their index but vanish from the component. ---
  // Throws std::invalid_argument when a text or identifier would not fit the
  // library's buffers.
  std::size_t AddDevice(Device device);
  void RemoveDevice(std::size_t index);
  void SetAttached(std::size_t index, bool attached);
  void PutItem(std::size_t index, const std::string& name, Bytes bytes);
  std::optional<Bytes> Item(std::size_t index, const std::string& name) const;
  // A stored device record: 4-byte little-endian length, then the payload.
  static Bytes Record(const Bytes& payload);

  // --- Forced results ---
  void Force(Fault fault);
  void Force(std::string call, HRESULT result);
  void ClearFaults();

  // --- Special behaviours ---
  // "GetClassObject" for that class returns `success` with a null object.
  void GiveNoClassObject(ClassObject which, HRESULT success = S_OK);
  // "DeviceMgr.EnumDevices" returns S_OK with a null collection.
  void EnumDevicesGivesNoCollection(bool on = true);
  // The collection from EnumDevices answers E_NOINTERFACE for IAD_EnumDevice.
  void CollectionWithoutEnumerator(bool on = true);
  // "EnumDevice.Next" reports this fetched count, whatever it delivered.
  void NextReportsFetched(std::optional<ULONG> count);

  // --- Records (cleared by Reset and ClearRecords) ---
  void ClearRecords();
  // Calls whose name equals `call` or starts with `call` + ".".
  unsigned CallCount(std::string_view call) const;
  std::vector<std::string> PresentedPins() const;
  std::vector<std::string> LoadedPaths() const;  // IPersistFile::Load, UTF-8
  std::vector<std::string> SavedPaths() const;   // IPersistFile::Save, UTF-8
  std::optional<bool> LastInitializeFlag() const;
  bool LastInitializeHadTypeMgr() const;
  // The sink of the last successful Advise (identity only; not for calling),
  // and how many sinks the component holds right now.
  const void* LastAdvisedSink() const;
  long HeldSinks() const;

  // --- Live component objects (managers, type objects, collections,
  // enumerators, devices, containers, items) ---
  long LiveObjects() const;
  long LiveObjects(std::string_view kind) const;  // e.g. "Device", "EnumDevice"

 private:
  Control() = default;
};

}  // namespace kdtc
