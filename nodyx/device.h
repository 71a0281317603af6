// One device of the store, as handed out by the device manager. The same
// object answers IAD_KeyStorage and IAD_CryptoDevice when its description
// offers them; QueryInterface refuses the ones it does not offer.
//
// The object keeps the description it was made from for its names and
// values. Item and container calls check the description first (reading it
// again only when its file changed since) and fail with kDeviceNotReady when
// the device was removed, detached or replaced since.
//
// PIN: on a device with a PIN, Read, Write and Delete of items need the
// right PIN presented earlier on this same object, for the PIN the device
// has now (kPinRequired otherwise). The PIN is derived once per session:
// objects of one device manager share its login (store/pin_login.h), so a PIN
// the session accepted before is recognised without a derivation.
// Every PIN presented is counted (store/pin_tries.h): a wrong one is refused
// with kWrongPin, and once the device's limit of wrong PINs in a row is
// reached the device is locked: PINs, right or wrong, and the item calls
// that need one fail with kPinLocked, for every object and process, until
// the device is unblocked. A refused PIN withdraws an accepted one. Exists,
// EnumItems and every container call need no PIN. IAD_PinStatus tells the
// tries left.
//
// The device argument of the item and container calls must be this device
// or null (E_INVALIDARG otherwise).
#pragma once

#include "base/com_support.h"
#include "objects/device_methods.h"
#include "keydepot/ad/component.h"
#include "keydepot/ad/pin_status.h"
#include "kdplatform/com_object.h"
#include "store/pin_login.h"
#include "base/result_codes.h"
#include "store/device_store.h"

#include <atomic>
#include <memory>
#include <string>

namespace nodyx {

class Device final : public kdp::ComObject<Device, IAD_Device, IAD_KeyStorage, IAD_CryptoDevice, IAD_PinStatus> {
  using Base = kdp::ComObject<Device, IAD_Device, IAD_KeyStorage, IAD_CryptoDevice, IAD_PinStatus>;

 public:
  // stamp: what `record` was read from (DeviceStore::Entry).
  // login: the session's login for this device; a fresh one when null.
  Device(DeviceStore store, std::string folder, DeviceRecord record, DescriptionStamp stamp = {},
         std::shared_ptr<PinLogin> login = nullptr)
      : store_(std::move(store)),
        folder_(std::move(folder)),
        record_(std::move(record)),
        stamp_(std::move(stamp)),
        login_(login ? std::move(login) : std::make_shared<PinLogin>()) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

  NODYX_DEVICE_METHODS

  // IAD_PinStatus
  HRESULT STDMETHODCALLTYPE GetPinStatus(DWORD* triesLeft, DWORD* tryLimit, DWORD* flags) override;

  const std::string& folder() const { return folder_; }
  const DeviceRecord& record() const { return record_; }

 private:
  // Checks the device argument and that the device is still attached, and
  // points *current at the description as it is now: the object's own while
  // its file is unchanged, else *fresh, read again.
  HRESULT Begin(IAD_Device* device, DeviceRecord* fresh, const DeviceRecord** current) const;
  HRESULT CheckPin(const DeviceRecord& current) const;
  // Wrong user PINs counted now; kPinLocked (ending the session's login) at
  // the limit.
  HRESULT WrongPins(const DeviceRecord& current, std::uint32_t* wrong) const;

  const DeviceStore store_;
  const std::string folder_;
  const DeviceRecord record_;
  const DescriptionStamp stamp_;
  const std::shared_ptr<PinLogin> login_;
  std::atomic<std::uint64_t> acceptedLogin_{PinLogin::kNone};  // the generation PresentPIN was given
};

}  // namespace nodyx
