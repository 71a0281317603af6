// What the PKCS#11 token tests share: the library's shared session, looked
// up devices, storage records, and a recorder of device events.
#pragma once

#include "keydepot/keydepot.h"
#include "kdplatform/com_object.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace keydepot {

inline std::string DisplayName(IAD_Device* device) {
  char name[AD_NAME_BUFFER] = {};
  return SUCCEEDED(device->GetDisplayName(name)) ? name : "?";
}

// Records each event as "+<display name>" (arrived) or "-<display name>".
class EventRecorder final : public kdp::ComObject<EventRecorder, _IAD_DeviceMgrEvents> {
 public:
  HRESULT STDMETHODCALLTYPE DeviceArrived(IAD_Device* device) override { return Note('+', device); }
  HRESULT STDMETHODCALLTYPE DeviceRemoved(IAD_Device* device) override { return Note('-', device); }
  std::vector<std::string> events;

 private:
  HRESULT Note(char event, IAD_Device* device) {
    events.push_back(event + DisplayName(device));
    return S_OK;
  }
};

class TokenFixture : public ::testing::Test {
 protected:
  void TearDown() override { Reopen(); }

  DWORD Session() {
    if (session_ == 0) session_ = ad::OpenSilentSession(nullptr);
    return session_;
  }
  // Closes the session; the next one loads the modules anew.
  void Reopen() {
    if (session_ != 0) ad::CloseSession(session_);
    session_ = 0;
  }

  ComPtr<IAD_Device> Find(const std::string& label) {
    ComPtr<IAD_Device> device;
    EXPECT_EQ(ad::FindDeviceByDisplayName(Session(), label.c_str(), device.put()), S_OK) << label;
    return device;
  }
  // The device path of the attached device with this display name.
  std::string PathOf(const std::string& label) {
    std::string path;
    if (const auto device = Find(label)) {
      EXPECT_EQ(ad::MakeDevicePath(device.get(), path), S_OK);
    }
    return path;
  }

  std::set<std::string> DisplayNames(DWORD session) {
    std::set<std::string> names;
    ComPtr<IAD_EnumDevice> devices;
    EXPECT_EQ(ad::GetDevicesEnum(session, devices.put()), S_OK);
    ComPtr<IAD_Device> device;
    for (ULONG fetched = 0; devices && devices->Next(1, device.put(), &fetched) == S_OK;) {
      names.insert(DisplayName(device.get()));
    }
    return names;
  }
  std::set<std::string> DisplayNames() { return DisplayNames(Session()); }

  // The device at `path` in `session`, logged in with `pin` and holding item
  // "k": a device in use, as when its token is pulled.
  void DeviceInUse(DWORD session, const std::string& path, const char* pin, ComPtr<IAD_Device>* device,
                   ComPtr<IAD_KeyStorage>* storage) {
    ASSERT_EQ(ad::FindDeviceByPath(session, path.c_str(), device->put()), S_OK);
    ASSERT_EQ(device->As(storage), S_OK);
    ASSERT_EQ((*device)->PresentPIN(pin), S_OK);
    DWORD count = 3;
    ASSERT_EQ((*storage)->Write(device->get(), "k", reinterpret_cast<const BYTE*>("abc"), &count), S_OK);
  }

  CertInfo Record(const std::string& path, IdentObj* data, const std::string* pin) {
    CertInfo record;
    record.path = path;
    record.data = data;
    record.pin = pin;
    record.session = Session();
    return record;
  }

  DWORD session_ = 0;
};

}  // namespace keydepot
