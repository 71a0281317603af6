// IAD_DeviceMgr: the devices of the store as one session sees them.
//
// Initialize(typeMgr, flag) keeps a reference to the device-type manager
// (its filter decides which device types are seen) until Uninitialize or
// the object's end. The flag means nothing to a software token: devices are
// files and need no interactive or exclusive access, so both values behave
// the same.
//
// EnumDevices lists the attached devices of enabled types as the store
// holds them at the time of the call, then the tokens of the PKCS#11
// modules (pkcs11/), when their type is enabled: the slots as they are at
// the call, each token read when an enumerator first reaches it (a search
// that stops early reads no further token). Refresh compares both with
// what the previous Initialize or Refresh saw and tells each advised sink
// about every device that arrived (created or attached; a token inserted)
// and every device that went away (removed or detached; a token pulled);
// sinks are called on the Refresh caller's thread, after the manager's lock
// is released, so they may call back.
//
// Device objects of one software-token device share the manager's login for
// it (store/pin_login.h): a PIN accepted through one is derived no more for the
// others. Uninitialize and the manager's end close every login.
//
// The manager holds the process's PKCS#11 modules (pkcs11/module_set.h)
// from the first time its filter lets tokens be seen until Uninitialize.
#pragma once

#include "base/com_support.h"
#include "keydepot/ad/component.h"
#include "kdplatform/com_object.h"
#include "kdplatform/com_ptr.h"
#include "store/pin_login.h"
#include "pkcs11/token.h"
#include "store/device_store.h"
#include "type_filter.h"

#include <map>
#include <memory>
#include <string>
#include <mutex>
#include <optional>
#include <vector>

namespace nodyx {

class Device;

class DeviceMgr final : public kdp::ComObject<DeviceMgr, IAD_DeviceMgr> {
 public:
  DeviceMgr() = default;
  // Released while still initialised: that is the library dropping its
  // shared sessions as it is unloaded, at process exit; the PKCS#11 modules
  // are then left as they are (ModuleSet::KeepUntilExit).
  ~DeviceMgr() override;

  HRESULT STDMETHODCALLTYPE Initialize(IAD_DeviceTypeMgr* typeMgr, bool flag) override;
  HRESULT STDMETHODCALLTYPE Uninitialize() override;
  HRESULT STDMETHODCALLTYPE Refresh() override;
  NODYX_RESERVED_SLOT(6)
  NODYX_RESERVED_SLOT(7)
  HRESULT STDMETHODCALLTYPE EnumDevices(IUnknown** collection) override;
  NODYX_RESERVED_SLOT(9)
  NODYX_RESERVED_SLOT(10)
  NODYX_RESERVED_SLOT(11)
  NODYX_RESERVED_SLOT(12)
  HRESULT STDMETHODCALLTYPE Advise(_IAD_DeviceMgrEvents* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;

 private:
  // Attached devices of enabled types; call with mutex_ held.
  std::vector<DeviceStore::Entry> VisibleDevices() const;
  std::vector<pkcs11::SlotRef> VisibleSlots();  // of tokens, when their type is enabled
  std::vector<pkcs11::Token> VisibleTokens();
  bool TypeEnabled(std::int32_t type) const;
  using Logins = std::map<std::string, std::shared_ptr<PinLogin>>;  // by folder and device identifier
  // A device object with the session's login for its device; call with mutex_ held.
  Device* NewDevice(DeviceStore::Entry entry);
  static void EndLogins(Logins* logins);

  std::mutex mutex_;
  bool initialized_ = false;
  ComPtr<IAD_DeviceTypeMgr> typeMgr_;
  ComPtr<INodyxTypeFilter> filter_;
  std::optional<DeviceStore> store_;
  mutable DeviceStore::ScanMemo scanMemo_;  // what the scans of store_ found
  std::vector<DeviceStore::Entry> seen_;    // as of the last Initialize or Refresh
  std::shared_ptr<const pkcs11::ModuleSet> modules_;
  std::vector<pkcs11::Token> seenTokens_;  // likewise
  std::map<DWORD, ComPtr<_IAD_DeviceMgrEvents>> sinks_;
  Logins logins_;
  DWORD nextCookie_ = 1;
};

}  // namespace nodyx
