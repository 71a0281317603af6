// Loads the built component (nodyx.so, nodyx.dll) into the test process
// against a temporary device store, and checks at the end that every object
// the test got was released.
#pragma once

#include "keydepot/ad/component.h"
#include "store/device_store.h"

#include <gtest/gtest.h>
#include <kdtest/temp_folder.h>

#include <string>
#include <vector>

namespace nodyx::test {

using kdp::ComPtr;

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ComPtr<IAD_DeviceTypeMgr> TypeMgr();
  // A device manager initialised with typeMgr (null: no filter).
  ComPtr<IAD_DeviceMgr> DeviceMgr(IAD_DeviceTypeMgr* typeMgr = nullptr);

  // Writes a device description straight into the store.
  DeviceRecord MakeRecord(std::int32_t type, std::vector<std::uint8_t> id, const std::string& name);
  void AddDevice(const std::string& folder, const DeviceRecord& record);
  void AddDevice(const std::string& folder, std::int32_t type, std::vector<std::uint8_t> id);

  // Every device the manager enumerates now, in order.
  std::vector<ComPtr<IAD_Device>> Devices(IAD_DeviceMgr* mgr);
  // The single attached device (fails the test otherwise).
  ComPtr<IAD_Device> OnlyDevice(IAD_DeviceMgr* mgr);

  HRESULT CanUnloadNow() const { return canUnloadNow_(); }
  // The component's module, loaded while the test runs.
  HMODULE Module() const { return module_; }

  std::unique_ptr<kdtest::TempFolder> temp_;
  std::string store_;
  std::unique_ptr<DeviceStore> devices_;

 private:
  HMODULE module_ = nullptr;
  PFN_AD_GetClassObject getClassObject_ = nullptr;
  PFN_AD_CanUnloadNow canUnloadNow_ = nullptr;

 protected:
  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object) const {
    return getClassObject_(classId, iid, object);
  }
};

}  // namespace nodyx::test
