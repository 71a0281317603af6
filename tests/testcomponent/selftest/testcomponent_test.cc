// The test component loaded the way the library loads it: from its folder,
// by the dynamic loader, through its exports only.
#include "testcomponent/control.h"

#include "kdplatform/com_object.h"
#include "kdplatform/kernel.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using kdtc::Bytes;
using kdtc::Control;
using kdp::ComPtr;

class TestComponent : public ::testing::Test {
 protected:
  void SetUp() override {
    tc.Reset();
    Load();
  }
  void Load() {
    module_ = LoadLibraryExA(TESTCOMP_MODULE, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(module_, nullptr) << GetLastError();
    getClassObject_ = reinterpret_cast<PFN_AD_GetClassObject>(GetProcAddress(module_, AD_EXPORT_GET_CLASS_OBJECT));
    canUnloadNow_ = reinterpret_cast<PFN_AD_CanUnloadNow>(GetProcAddress(module_, AD_EXPORT_CAN_UNLOAD_NOW));
    dllCanUnloadNow_ = reinterpret_cast<PFN_AD_CanUnloadNow>(GetProcAddress(module_, AD_EXPORT_DLL_CAN_UNLOAD_NOW));
    ASSERT_TRUE(getClassObject_ && canUnloadNow_ && dllCanUnloadNow_);
  }
  void TearDown() override {
    EXPECT_EQ(tc.LiveObjects(), 0);
    if (module_) FreeLibrary(module_);
  }

  ComPtr<IAD_DeviceMgr> DeviceMgr() {
    ComPtr<IAD_DeviceMgr> mgr;
    EXPECT_EQ(getClassObject_(CLSID_ADDeviceMgr, IID_IAD_DeviceMgr, mgr.put_void()), S_OK);
    return mgr;
  }
  ComPtr<IAD_DeviceTypeMgr> TypeMgr() {
    ComPtr<IAD_DeviceTypeMgr> mgr;
    EXPECT_EQ(getClassObject_(CLSID_ADDeviceTypeMgr, IID_IAD_DeviceTypeMgr, mgr.put_void()), S_OK);
    return mgr;
  }
  // The devices a fresh enumeration yields, in order.
  std::vector<ComPtr<IAD_Device>> Devices() {
    std::vector<ComPtr<IAD_Device>> devices;
    ComPtr<IUnknown> collection;
    EXPECT_EQ(DeviceMgr()->EnumDevices(collection.put()), S_OK);
    ComPtr<IAD_EnumDevice> en;
    EXPECT_EQ(collection.As(&en), S_OK);
    EXPECT_EQ(en->Reset(), S_OK);
    ComPtr<IAD_Device> device;
    ULONG fetched = 0;
    while (en->Next(1, device.put(), &fetched) == S_OK && fetched == 1) devices.push_back(device);
    return devices;
  }

  Control& tc = Control::Get();
  HMODULE module_ = nullptr;
  PFN_AD_GetClassObject getClassObject_ = nullptr;
  PFN_AD_CanUnloadNow canUnloadNow_ = nullptr;
  PFN_AD_CanUnloadNow dllCanUnloadNow_ = nullptr;
};

TEST_F(TestComponent, ClassObjectsAreCountedAndUnloadFollowsLiveObjects) {
  {
    auto devices = DeviceMgr();
    auto types = TypeMgr();
    ASSERT_TRUE(devices && types);
    EXPECT_EQ(tc.LiveObjects(), 2);
    EXPECT_EQ(tc.LiveObjects("DeviceMgr"), 1);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
  }
  EXPECT_EQ(tc.LiveObjects(), 0);
  EXPECT_EQ(canUnloadNow_(), S_OK);
  EXPECT_EQ(dllCanUnloadNow_(), S_OK);
  EXPECT_EQ(tc.CallCount("GetClassObject.DeviceMgr"), 1u);
  EXPECT_EQ(tc.CallCount("GetClassObject"), 2u);

  tc.SetCanUnloadNow(S_FALSE);
  tc.SetDllCanUnloadNow(E_FAIL);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  EXPECT_EQ(dllCanUnloadNow_(), E_FAIL);
}

TEST_F(TestComponent, RecordsSurviveUnloadingTheModule) {
  DeviceMgr()->Initialize(nullptr, true);
  FreeLibrary(module_);
  module_ = nullptr;
  EXPECT_EQ(dlopen(TESTCOMP_MODULE, RTLD_NOW | RTLD_NOLOAD), nullptr);  // really unloaded
  EXPECT_EQ(tc.CallCount("DeviceMgr.Initialize"), 1u);
  EXPECT_EQ(tc.LastInitializeFlag(), true);
  EXPECT_FALSE(tc.LastInitializeHadTypeMgr());
  Load();  // loaded again: the same state answers
  EXPECT_EQ(tc.CallCount("DeviceMgr.Initialize"), 1u);
}

TEST_F(TestComponent, ClassObjectSpecials) {
  tc.GiveNoClassObject(kdtc::ClassObject::DeviceTypeMgr, S_FALSE);
  tc.Force("GetClassObject.DeviceMgr", E_NOINTERFACE);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject_(CLSID_ADDeviceTypeMgr, IID_IAD_DeviceTypeMgr, &object), S_FALSE);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject_(CLSID_ADDeviceMgr, IID_IAD_DeviceMgr, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

TEST_F(TestComponent, EnumeratesAttachedDevicesInOrderWithTheirSlots) {
  tc.AddDeviceType(100, "Token");
  tc.AddDevice({.id = {0x0A, 0x1B}, .displayName = "first", .defaultContainer = "keys"});
  tc.AddDevice({.type = 200, .id = {1}, .attached = false});
  tc.AddDevice({.type = 101, .id = {2, 0}, .idText = "custom", .cryptoDevice = true, .cryptoFlag = 7});

  auto devices = Devices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(tc.LiveObjects("Device"), 2);

  // Identifier: size query, too small a buffer, then the bytes.
  DWORD size = 0;
  EXPECT_EQ(devices[0]->GetID(&size, nullptr), S_OK);
  ASSERT_EQ(size, 2u);
  BYTE id[2] = {};
  DWORD small = 1;
  EXPECT_EQ(devices[0]->GetID(&small, id), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small, 2u);
  EXPECT_EQ(id[1], 0);
  EXPECT_EQ(devices[0]->GetID(&size, id), S_OK);
  EXPECT_EQ(id[1], 0x1B);

  char text[AD_PATH_BUFFER] = {};
  EXPECT_EQ(devices[0]->GetIDText(text), S_OK);
  EXPECT_STREQ(text, "0A1B");
  EXPECT_EQ(devices[1]->GetIDText(text), S_OK);
  EXPECT_STREQ(text, "custom");

  DWORD nameSize = 3;
  EXPECT_EQ(devices[0]->GetDefaultContainer(&nameSize, text), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(nameSize, 5u);
  EXPECT_EQ(devices[0]->GetDefaultContainer(&nameSize, text), S_OK);
  EXPECT_STREQ(text, "keys");
  nameSize = AD_PATH_BUFFER;
  EXPECT_EQ(devices[1]->GetDefaultContainer(&nameSize, text), kdtc::kNotFound);

  ComPtr<IAD_KeyStorage> storage;
  ComPtr<IAD_CryptoDevice> crypto;
  EXPECT_EQ(ComPtr<IAD_Device>(devices[0]).As(&crypto), E_NOINTERFACE);
  EXPECT_EQ(devices[1].As(&crypto), S_OK);
  int flag = 0;
  EXPECT_EQ(crypto->GetFlag(devices[1].get(), &flag), S_OK);
  EXPECT_EQ(flag, 7);

  // A device removed after it was handed out answers "not connected".
  tc.RemoveDevice(0);
  EXPECT_EQ(devices[0]->GetID(&size, id), kdtc::kDeviceNotConnected);
  EXPECT_EQ(Devices().size(), 1u);
}

TEST_F(TestComponent, IdentifierTextRoundTripsThroughTheTypeObject) {
  tc.AddDeviceType(3, "Three");
  ComPtr<IAD_DeviceType> type;
  ASSERT_EQ(TypeMgr()->GetDeviceType(static_cast<EAD_DeviceType>(3), type.put()), S_OK);
  EXPECT_EQ(TypeMgr()->GetDeviceType(static_cast<EAD_DeviceType>(4), type.put()), E_INVALIDARG);
  ASSERT_EQ(TypeMgr()->GetDeviceType(static_cast<EAD_DeviceType>(3), type.put()), S_OK);

  const BYTE id[] = {0xAB, 0x00, 0x12};
  char text[AD_ID_TEXT_BUFFER] = {};
  ASSERT_EQ(type->IdToText(3, id, text), S_OK);
  EXPECT_STREQ(text, "AB0012");

  DWORD size = 0;
  ASSERT_EQ(type->TextToId("ab0012", &size, nullptr), S_OK);  // either case reads back
  ASSERT_EQ(size, 3u);
  BYTE back[3] = {};
  ASSERT_EQ(type->TextToId("ab0012", &size, back), S_OK);
  EXPECT_EQ(Bytes(back, back + 3), Bytes(id, id + 3));
  EXPECT_EQ(type->TextToId("ABC", &size, nullptr), E_INVALIDARG);
  EXPECT_EQ(type->TextToId("", &size, nullptr), E_INVALIDARG);

  // Identifiers whose text would not fit the 64-byte buffer are refused.
  const Bytes tooLong(kdtc::kMaxIdBytes + 1, 0x11);
  EXPECT_EQ(type->IdToText(static_cast<DWORD>(tooLong.size()), tooLong.data(), text), E_INVALIDARG);
  EXPECT_THROW(tc.AddDevice({.id = tooLong}), std::invalid_argument);

  char name[AD_NAME_BUFFER] = {};
  ASSERT_EQ(type->GetDisplayName(3, id, name), S_OK);
  EXPECT_STREQ(name, "Three AB0012");
}

TEST_F(TestComponent, ForcedResultsAreScopedByDeviceNameAndCallNumber) {
  tc.AddDevice({.id = {1}});
  tc.AddDevice({.id = {2}, .keyStorage = false, .cryptoDevice = true, .containers = {"a", "bad", "c"}});
  tc.Force({.call = "Device.GetID", .result = E_FAIL, .deviceId = Bytes{2}});
  tc.Force({.call = "Container.GetName", .result = E_ACCESSDENIED, .name = "bad"});
  tc.Force({.call = "EnumDevice.Reset", .result = 0x00040301, .nth = 2});
  tc.Force({.call = "Device", .result = E_UNEXPECTED, .device = 0, .nth = 2, .onwards = true});

  auto devices = Devices();
  ASSERT_EQ(devices.size(), 2u);
  DWORD size = 0;
  EXPECT_EQ(devices[1]->GetID(&size, nullptr), E_FAIL);
  EXPECT_EQ(devices[0]->GetID(&size, nullptr), S_OK);
  EXPECT_EQ(devices[0]->GetID(&size, nullptr), E_UNEXPECTED);
  EXPECT_EQ(devices[0]->GetRoom(&size), E_UNEXPECTED);

  // A positive forced result does the work and returns that code.
  ComPtr<IUnknown> collection;
  ComPtr<IAD_EnumDevice> en;
  ASSERT_EQ(DeviceMgr()->EnumDevices(collection.put()), S_OK);
  ASSERT_EQ(collection.As(&en), S_OK);
  EXPECT_EQ(en->Reset(), 0x00040301);

  ComPtr<IAD_CryptoDevice> crypto;
  ASSERT_EQ(devices[1].As(&crypto), S_OK);
  ComPtr<IAD_EnumContainers> containers;
  ASSERT_EQ(crypto->EnumContainers(devices[1].get(), containers.put()), S_OK);
  std::vector<std::string> names;
  ComPtr<IAD_Container> item;
  ULONG fetched = 0;
  while (containers->Next(1, item.put(), &fetched) == S_OK && fetched == 1) {
    char name[AD_NAME_BUFFER] = {};
    if (item->GetName(name) == S_OK) names.emplace_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(tc.CallCount("Container.GetName"), 3u);
}

TEST_F(TestComponent, EnumerationSpecials) {
  tc.AddDevice({.id = {1}});
  ComPtr<IUnknown> collection;
  tc.EnumDevicesGivesNoCollection();
  EXPECT_EQ(DeviceMgr()->EnumDevices(collection.put()), S_OK);
  EXPECT_FALSE(collection);

  tc.EnumDevicesGivesNoCollection(false);
  tc.CollectionWithoutEnumerator();
  ASSERT_EQ(DeviceMgr()->EnumDevices(collection.put()), S_OK);
  ComPtr<IAD_EnumDevice> en;
  EXPECT_EQ(collection.As(&en), E_NOINTERFACE);

  tc.Force("TypeMgr.QueryPersistFile", E_OUTOFMEMORY);
  ComPtr<IPersistFile> persist;
  EXPECT_EQ(TypeMgr().As(&persist), E_OUTOFMEMORY);
}

TEST_F(TestComponent, PersistFileRecordsPathsAndReturnsProgrammedCodes) {
  tc.Force("PersistFile.Load", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  tc.Force("PersistFile.Save", S_FALSE);
  ComPtr<IPersistFile> persist;
  ASSERT_EQ(TypeMgr().As(&persist), S_OK);
  EXPECT_EQ(persist->Load(L"c:\\absent_file", 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(persist->Save(L"/tmp/f\u00e9.xml", TRUE), S_FALSE);
  EXPECT_EQ(tc.LoadedPaths(), std::vector<std::string>{"c:\\absent_file"});
  EXPECT_EQ(tc.SavedPaths(), std::vector<std::string>{"/tmp/f\xC3\xA9.xml"});
}

TEST_F(TestComponent, KeyStorageReadFollowsTheCapacityContract) {
  tc.AddDevice({.id = {1}, .items = {{"full", Bytes(4, 7)}, {"big", Bytes(6, 8)}}});
  auto devices = Devices();
  ComPtr<IAD_KeyStorage> ks;
  ASSERT_EQ(devices[0].As(&ks), S_OK);
  IAD_Device* dev = devices[0].get();

  BYTE buffer[5] = {};
  DWORD count = 4;
  EXPECT_EQ(ks->Read(dev, "full", buffer, &count), S_OK);
  EXPECT_EQ(count, 4u);  // exactly full: count equals the capacity
  count = 4;
  EXPECT_EQ(ks->Read(dev, "big", buffer, &count), S_OK);
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(buffer[4], 0);  // nothing past the capacity
  count = 4;
  EXPECT_EQ(ks->Read(dev, "none", buffer, &count), kdtc::kNotFound);

  const Bytes record = Control::Record({9, 9});
  DWORD written = static_cast<DWORD>(record.size());
  EXPECT_EQ(ks->Write(dev, "new", record.data(), &written), S_OK);
  EXPECT_EQ(tc.Item(0, "new"), (Bytes{2, 0, 0, 0, 9, 9}));
  BOOL exists = FALSE;
  EXPECT_EQ(ks->Exists(dev, "new", &exists), S_OK);
  EXPECT_TRUE(exists);
  EXPECT_EQ(ks->Delete(dev, "new"), S_OK);
  EXPECT_EQ(ks->Delete(dev, "new"), kdtc::kNotFound);
}

TEST_F(TestComponent, PinGuardsItemsAndIsRecorded) {
  tc.AddDevice({.id = {1}, .pin = "1234", .itemsNeedPin = true, .items = {{"k", Bytes{1}}}});
  auto devices = Devices();
  ComPtr<IAD_KeyStorage> ks;
  ASSERT_EQ(devices[0].As(&ks), S_OK);
  BOOL exists = FALSE;
  EXPECT_EQ(ks->Exists(devices[0].get(), "k", &exists), kdtc::kPinRefused);
  EXPECT_EQ(devices[0]->PresentPIN("0000"), kdtc::kPinRefused);
  EXPECT_EQ(devices[0]->PresentPIN("1234"), S_OK);
  EXPECT_EQ(ks->Exists(devices[0].get(), "k", &exists), S_OK);
  EXPECT_EQ(tc.PresentedPins(), (std::vector<std::string>{"0000", "1234"}));
}

TEST_F(TestComponent, EnumeratorsFollowComRulesOverASnapshot) {
  tc.AddDevice({.id = {1}});
  tc.AddDevice({.id = {2}});
  tc.AddDevice({.id = {3}});
  ComPtr<IUnknown> collection;
  ASSERT_EQ(DeviceMgr()->EnumDevices(collection.put()), S_OK);
  ComPtr<IAD_EnumDevice> en;
  ASSERT_EQ(collection.As(&en), S_OK);
  tc.AddDevice({.id = {4}});  // not in the snapshot

  IAD_Device* batch[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(en->Skip(1), S_OK);
  ComPtr<IAD_EnumDevice> clone;
  ASSERT_EQ(en->Clone(clone.put()), S_OK);
  EXPECT_EQ(en->Next(4, batch, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  for (ULONG i = 0; i < fetched; ++i) batch[i]->Release();
  EXPECT_EQ(en->Skip(1), S_FALSE);
  EXPECT_EQ(clone->Skip(2), S_OK);  // the clone kept its own position
  EXPECT_EQ(clone->Next(1, batch, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  // A positive result on Next still hands out the device (fetched 1).
  tc.Force({.call = "EnumDevice.Next", .result = S_FALSE, .device = 1});
  ComPtr<IAD_Device> device;
  ASSERT_EQ(en->Reset(), S_OK);
  EXPECT_EQ(en->Next(1, device.put(), &fetched), S_OK);
  EXPECT_EQ(en->Next(1, device.put(), &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_TRUE(device);
}

TEST_F(TestComponent, StorageItemsAreListedWithUnreadableNamesAndDetachedDevicesReturn) {
  const auto index = tc.AddDevice({.id = {1}, .items = {{"default", Bytes{}}, {"x", Bytes{}}, {"y", Bytes{}}}});
  tc.Force({.call = "StorageItem.GetName", .result = E_FAIL, .name = "x", .nth = 1});
  auto devices = Devices();
  ComPtr<IAD_KeyStorage> ks;
  ASSERT_EQ(devices[0].As(&ks), S_OK);
  auto names = [&] {
    std::vector<std::string> out;
    ComPtr<IAD_EnumStorageItems> items;
    EXPECT_EQ(ks->EnumItems(items.put()), S_OK);
    ComPtr<IAD_StorageItem> item;
    ULONG fetched = 0;
    while (items && items->Next(1, item.put(), &fetched) == S_OK && fetched == 1) {
      char name[AD_NAME_BUFFER] = {};
      out.emplace_back(item->GetName(name) == S_OK ? name : "?");
    }
    return out;
  };
  EXPECT_EQ(names(), (std::vector<std::string>{"default", "?", "y"}));
  EXPECT_EQ(names(), (std::vector<std::string>{"default", "x", "y"}));  // only the first call failed

  tc.SetAttached(index, false);
  EXPECT_TRUE(Devices().empty());
  DWORD size = 0;
  EXPECT_EQ(devices[0]->GetID(&size, nullptr), kdtc::kDeviceNotConnected);
  tc.SetAttached(index, true);
  EXPECT_EQ(devices[0]->GetID(&size, nullptr), S_OK);
  EXPECT_EQ(Devices().size(), 1u);
}

struct Sink : kdp::ComObject<Sink, _IAD_DeviceMgrEvents> {
  HRESULT STDMETHODCALLTYPE DeviceArrived(IAD_Device*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeviceRemoved(IAD_Device*) override { return S_OK; }
};

TEST_F(TestComponent, AdvisedSinksAreHeldUntilUnadviseOrTheManagerDies) {
  auto sink = ComPtr<_IAD_DeviceMgrEvents>::Adopt(new Sink);
  auto mgr = DeviceMgr();
  DWORD cookie = 0;
  ASSERT_EQ(mgr->Advise(sink.get(), &cookie), S_OK);
  EXPECT_EQ(tc.LastAdvisedSink(), sink.get());
  EXPECT_EQ(tc.HeldSinks(), 1);
  EXPECT_EQ(mgr->Unadvise(cookie), S_OK);
  EXPECT_EQ(mgr->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(mgr->Advise(sink.get(), &cookie), S_OK);
  mgr = nullptr;
  EXPECT_EQ(tc.HeldSinks(), 0);
  EXPECT_EQ(sink->AddRef(), 2u);  // only ours and this one are left
  sink->Release();
}

}  // namespace
