// One device of the store, as handed out by the device manager. The same
// object answers IAD_KeyStorage and IAD_CryptoDevice when its description
// offers them; QueryInterface refuses the ones it does not offer.
//
// The object keeps the description it was made from for its names and
// values. Item and container calls re-read the description first and fail
// with kDeviceNotReady when the device was removed, detached or replaced
// since.
//
// PIN: on a device with a PIN, Read, Write and Delete of items need the
// right PIN presented earlier on this same object (kPinRequired otherwise).
// A wrong PIN is refused with kWrongPin and withdraws an accepted one.
// Exists, EnumItems and every container call need no PIN.
//
// The device argument of the item and container calls must be this device
// or null (E_INVALIDARG otherwise).
#pragma once

#include "com_support.h"
#include "keydepot/ad/component.h"
#include "kdplatform/com_object.h"
#include "store/device_store.h"

#include <atomic>
#include <string>

namespace nodyx {

inline constexpr HRESULT kWrongPin = HRESULT_FROM_WIN32(86);  // ERROR_INVALID_PASSWORD
inline constexpr HRESULT kPinRequired = E_ACCESSDENIED;
inline constexpr HRESULT kDeviceNotReady = HRESULT_FROM_WIN32(ERROR_NOT_READY);
inline constexpr HRESULT kNoDefaultContainer = HRESULT_FROM_WIN32(kErrorNotFound);
inline constexpr HRESULT kNoRoom = HRESULT_FROM_WIN32(ERROR_DISK_FULL);

class Device final : public kdp::ComObject<Device, IAD_Device, IAD_KeyStorage, IAD_CryptoDevice> {
  using Base = kdp::ComObject<Device, IAD_Device, IAD_KeyStorage, IAD_CryptoDevice>;

 public:
  Device(DeviceStore store, std::string folder, DeviceRecord record)
      : store_(std::move(store)), folder_(std::move(folder)), record_(std::move(record)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;

  // IAD_Device
  HRESULT STDMETHODCALLTYPE GetID(DWORD* idSize, BYTE* id) override;
  HRESULT STDMETHODCALLTYPE GetIDText(char* text) override;
  HRESULT STDMETHODCALLTYPE GetDeviceType(IAD_DeviceType** out) override;
  HRESULT STDMETHODCALLTYPE GetDisplayName(char* name) override;
  HRESULT STDMETHODCALLTYPE GetSystemName(char* name) override;
  HRESULT STDMETHODCALLTYPE GetSizeValue(DWORD* value) override;
  HRESULT STDMETHODCALLTYPE GetRoom(DWORD* value) override;
  HRESULT STDMETHODCALLTYPE PresentPIN(const char* pin) override;
  HRESULT STDMETHODCALLTYPE GetDefaultContainer(DWORD* size, char* name) override;
  // Slots 8 and 3 are reserved in more than one interface; one answer each.
  NODYX_RESERVED_SLOT(3)
  NODYX_RESERVED_SLOT(4)
  NODYX_RESERVED_SLOT(8)
  NODYX_RESERVED_SLOT(9)
  NODYX_RESERVED_SLOT(13)
  NODYX_RESERVED_SLOT(14)
  NODYX_RESERVED_SLOT(15)
  NODYX_RESERVED_SLOT(16)
  NODYX_RESERVED_SLOT(17)
  NODYX_RESERVED_SLOT(18)
  NODYX_RESERVED_SLOT(19)
  NODYX_RESERVED_SLOT(20)
  NODYX_RESERVED_SLOT(21)
  NODYX_RESERVED_SLOT(22)

  // IAD_KeyStorage
  HRESULT STDMETHODCALLTYPE Read(IAD_Device* device, const char* name, BYTE* buffer, DWORD* count) override;
  HRESULT STDMETHODCALLTYPE Write(IAD_Device* device, const char* name, const BYTE* data, DWORD* count) override;
  HRESULT STDMETHODCALLTYPE Delete(IAD_Device* device, const char* name) override;
  HRESULT STDMETHODCALLTYPE Exists(IAD_Device* device, const char* name, BOOL* exists) override;
  HRESULT STDMETHODCALLTYPE EnumItems(IAD_EnumStorageItems** out) override;

  // IAD_CryptoDevice
  HRESULT STDMETHODCALLTYPE OpenContainer(IAD_Device* device, const char* name, IAD_Container** out) override;
  HRESULT STDMETHODCALLTYPE EnumContainers(IAD_Device* device, IAD_EnumContainers** out) override;
  HRESULT STDMETHODCALLTYPE GetFlag(IAD_Device* device, int* flag) override;

  const std::string& folder() const { return folder_; }
  const DeviceRecord& record() const { return record_; }

 private:
  // Checks the device argument and that the device is still attached;
  // *current receives the description as it is now.
  HRESULT Begin(IAD_Device* device, DeviceRecord* current) const;
  HRESULT CheckPin(const DeviceRecord& current) const;

  const DeviceStore store_;
  const std::string folder_;
  const DeviceRecord record_;
  std::atomic<bool> pinAccepted_{false};
};

}  // namespace nodyx
