// Class objects, IUnknown rules and the unload answer.
#include "component_fixture.h"

namespace nodyx::test {
namespace {

using NodyxClassObjectTest = ComponentTest;

TEST_F(NodyxClassObjectTest, UnknownClassAndInterfaceAreRefusedWithNullOutput) {
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(GetClassObject(IID_IAD_Device, IID_IAD_DeviceMgr, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(GetClassObject(CLSID_ADDeviceMgr, IID_IAD_DeviceTypeMgr, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(GetClassObject(CLSID_ADDeviceTypeMgr, IID_IAD_DeviceMgr, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(GetClassObject(CLSID_ADDeviceMgr, IID_IAD_DeviceMgr, nullptr), E_POINTER);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(NodyxClassObjectTest, IdentityAndCountsFollowComRules) {
  ComPtr<IAD_DeviceTypeMgr> types = TypeMgr();
  ASSERT_TRUE(types);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);

  // (One identity behind every interface is ComObject's: com_object_test.cc.)
  ComPtr<IPersist> persistBase;
  ASSERT_EQ(types.As(&persistBase), S_OK);
  CLSID classId{};
  EXPECT_EQ(persistBase->GetClassID(&classId), S_OK);
  EXPECT_TRUE(IsEqualCLSID(classId, CLSID_ADDeviceTypeMgr));

  // Each GetClassObject call makes an object of its own.
  ComPtr<IAD_DeviceTypeMgr> second = TypeMgr();
  EXPECT_NE(second.get(), types.get());

  ComPtr<IAD_DeviceMgr> devices;
  EXPECT_EQ(GetClassObject(CLSID_ADDeviceMgr, IID_IUnknown, devices.put_void()), S_OK);
  ComPtr<IAD_EnumDevice> wrong;
  EXPECT_EQ(devices.As(&wrong), E_NOINTERFACE);
  EXPECT_FALSE(wrong);

  types = nullptr;
  second = nullptr;
  persistBase = nullptr;
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // the device manager still lives
  devices = nullptr;
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(NodyxClassObjectTest, DeviceManagerKeepsTypeManagerUntilUninitialize) {
  AddDevice("a", 100, {1});
  ComPtr<IAD_DeviceTypeMgr> types = TypeMgr();
  ComPtr<IAD_DeviceMgr> mgr = DeviceMgr(types.get());
  EXPECT_EQ(mgr->Initialize(types.get(), false), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
  types = nullptr;
  // Devices handed out outlive the manager that enumerated them.
  ComPtr<IAD_Device> device = OnlyDevice(mgr.get());
  EXPECT_EQ(mgr->Uninitialize(), S_OK);
  ComPtr<IUnknown> collection;
  EXPECT_EQ(mgr->EnumDevices(collection.put()), E_UNEXPECTED);
  mgr = nullptr;
  char name[AD_NAME_BUFFER];
  EXPECT_EQ(device->GetSystemName(name), S_OK);
  EXPECT_STREQ(name, "a");
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  device = nullptr;
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace nodyx::test
