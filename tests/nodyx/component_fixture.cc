#include "component_fixture.h"
#include "kdplatform/environment.h"
#include "kdplatform/module_load.h"
#include "kdplatform/proc_address.h"

#include <kdtest/drives.h>

namespace nodyx::test {

// The component is loaded as the library loads it (src/ad/component_creator.cc).
void ComponentTest::SetUp() {
  temp_ = std::make_unique<kdtest::TempFolder>();
  store_ = temp_->path();
  kdp::SetEnvironmentValue("NODYX_STORE", store_.c_str());
  kdp::RemoveEnvironmentValue("KEYDEPOT_DRIVES");
  devices_ = std::make_unique<DeviceStore>(store_);
  const std::string path = kdtest::BuildMachinePath(NODYX_MODULE_PATH);
  module_ = LoadLibraryExA(path.c_str(), nullptr, kdp::kLoadFromOwnFolder);
  ASSERT_NE(module_, nullptr) << path << ": error " << GetLastError();
  getClassObject_ = kdp::ProcAs<PFN_AD_GetClassObject>(GetProcAddress(module_, AD_EXPORT_GET_CLASS_OBJECT));
  canUnloadNow_ = kdp::ProcAs<PFN_AD_CanUnloadNow>(GetProcAddress(module_, AD_EXPORT_CAN_UNLOAD_NOW));
  ASSERT_NE(getClassObject_, nullptr);
  ASSERT_NE(canUnloadNow_, nullptr);
}

void ComponentTest::TearDown() {
  if (canUnloadNow_ != nullptr) {
    EXPECT_EQ(canUnloadNow_(), S_OK) << "a test left a component object alive";
  }
  if (module_ != nullptr) FreeLibrary(module_);
  devices_.reset();
  temp_.reset();
}

ComPtr<IAD_DeviceTypeMgr> ComponentTest::TypeMgr() {
  ComPtr<IAD_DeviceTypeMgr> mgr;
  EXPECT_EQ(getClassObject_(CLSID_ADDeviceTypeMgr, IID_IAD_DeviceTypeMgr, mgr.put_void()), S_OK);
  return mgr;
}

ComPtr<IAD_DeviceMgr> ComponentTest::DeviceMgr(IAD_DeviceTypeMgr* typeMgr) {
  ComPtr<IAD_DeviceMgr> mgr;
  EXPECT_EQ(getClassObject_(CLSID_ADDeviceMgr, IID_IAD_DeviceMgr, mgr.put_void()), S_OK);
  if (mgr) {
    EXPECT_EQ(mgr->Initialize(typeMgr, false), S_OK);
  }
  return mgr;
}

DeviceRecord ComponentTest::MakeRecord(std::int32_t type, std::vector<std::uint8_t> id, const std::string& name) {
  DeviceRecord r;
  r.type = type;
  r.id = std::move(id);
  r.displayName = "Display " + name;
  r.systemName = name;
  return r;
}

void ComponentTest::AddDevice(const std::string& folder, const DeviceRecord& record) {
  ASSERT_EQ(devices_->Create(folder, record), S_OK);
}

void ComponentTest::AddDevice(const std::string& folder, std::int32_t type, std::vector<std::uint8_t> id) {
  AddDevice(folder, MakeRecord(type, std::move(id), folder));
}

std::vector<ComPtr<IAD_Device>> ComponentTest::Devices(IAD_DeviceMgr* mgr) {
  std::vector<ComPtr<IAD_Device>> result;
  ComPtr<IUnknown> collection;
  EXPECT_EQ(mgr->EnumDevices(collection.put()), S_OK);
  ComPtr<IAD_EnumDevice> devices;
  EXPECT_EQ(collection.As(&devices), S_OK);
  if (!devices) return result;
  EXPECT_EQ(devices->Reset(), S_OK);
  for (;;) {
    ComPtr<IAD_Device> device;
    ULONG fetched = 0;
    const HRESULT hr = devices->Next(1, device.put(), &fetched);
    if (hr != S_OK) {
      EXPECT_EQ(hr, S_FALSE);
      EXPECT_EQ(fetched, 0u);
      EXPECT_FALSE(device);
      break;
    }
    EXPECT_EQ(fetched, 1u);
    result.push_back(std::move(device));
  }
  return result;
}

ComPtr<IAD_Device> ComponentTest::OnlyDevice(IAD_DeviceMgr* mgr) {
  auto all = Devices(mgr);
  EXPECT_EQ(all.size(), 1u);
  return all.empty() ? ComPtr<IAD_Device>() : all.front();
}

}  // namespace nodyx::test
