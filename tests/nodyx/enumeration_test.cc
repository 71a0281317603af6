// Device enumeration, the enumerator's COM rules, Refresh and its events.
#include "component_fixture.h"

#include "kdplatform/com_object.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace nodyx::test {
namespace {

using NodyxEnumerationTest = ComponentTest;

std::string SystemName(IAD_Device* device) {
  char name[AD_NAME_BUFFER] = {};
  EXPECT_EQ(device->GetSystemName(name), S_OK);
  return name;
}

std::vector<std::string> Names(const std::vector<ComPtr<IAD_Device>>& devices) {
  std::vector<std::string> names;
  for (const auto& d : devices) names.push_back(SystemName(d.get()));
  return names;
}

TEST_F(NodyxEnumerationTest, ListsAttachedReadableDevicesOnly) {
  AddDevice("b", 101, {0xB});
  AddDevice("a", 100, {0xA});
  DeviceRecord detached = MakeRecord(200, {0xC}, "c");
  detached.detached = true;
  AddDevice("c", detached);
  std::filesystem::create_directory(store_ + "/broken");
  std::ofstream(store_ + "/broken/device.json") << "{ not json";
  std::filesystem::create_directory(store_ + "/empty");
  std::ofstream(store_ + "/stray-file") << "x";

  auto mgr = DeviceMgr();
  EXPECT_EQ(Names(Devices(mgr.get())), (std::vector<std::string>{"a", "b"}));

  // Enumeration reflects the store at the time of the call.
  detached.detached = false;
  ASSERT_EQ(devices_->Save("c", detached), S_OK);
  ASSERT_EQ(devices_->Remove("a"), S_OK);
  EXPECT_EQ(Names(Devices(mgr.get())), (std::vector<std::string>{"b", "c"}));
}

TEST_F(NodyxEnumerationTest, DescriptionWithUnknownTypeOverlongIdOrOutOfRangeNumberIsSkipped) {
  AddDevice("good", 100, {1});
  DeviceRecord r = MakeRecord(100, std::vector<std::uint8_t>(31, 7), "x");
  AddDevice("longest", r);
  ASSERT_EQ(std::filesystem::create_directory(store_ + "/unknown"), true);
  std::ofstream(store_ + "/unknown/device.json")
      << R"({"format":1,"type":999,"id":"01","displayName":"d","systemName":"s"})";
  ASSERT_EQ(std::filesystem::create_directory(store_ + "/toolong"), true);
  std::ofstream(store_ + "/toolong/device.json")
      << R"({"format":1,"type":100,"id":")" << std::string(64, 'A') << R"(","displayName":"d","systemName":"s"})";
  // Numbers that are not integers, or that their field's type cannot hold.
  const std::string pin = R"("pin":{"salt":"01","hash":"02","iterations":)";
  const std::vector<std::string> bad = {R"("format":1e300,"type":100)",
                                        R"("format":1,"type":-1e10)",
                                        R"("format":1,"type":100,"sizeValue":1e120)",
                                        R"("format":1,"type":100,"sizeValue":1.5)",
                                        R"("format":-1,"type":100)",
                                        R"("format":4294967297,"type":100)",
                                        R"("format":1,"type":4294967396)",
                                        R"("format":1,"type":100,"sizeValue":-1)",
                                        R"("format":1,"type":100,"sizeValue":4294967296)",
                                        R"("format":1,"type":100,"room":-1)",
                                        R"("format":1,"type":100,"room":4294967296)",
                                        R"("format":1,"type":100,"cryptoFlag":4294967296)",
                                        R"("format":1,"type":100,"cryptoFlag":-2147483649)",
                                        R"("format":1,"type":100,)" + pin + "-1}",
                                        R"("format":1,"type":100,)" + pin + "4294967296}"};
  for (std::size_t i = 0; i < bad.size(); ++i) {
    const std::string folder = store_ + "/bad" + std::to_string(i);
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    std::ofstream(folder + "/device.json")
        << "{" << bad[i] << R"(,"id":"0)" << i % 10 << R"(","displayName":"d","systemName":"s)" << i << "\"}";
  }
  auto mgr = DeviceMgr();
  EXPECT_EQ(Names(Devices(mgr.get())), (std::vector<std::string>{"good", "x"}));
}

// A manager reads a description, and lists the store, again only when its
// file changed; once the files have settled (a second after their last
// change, when a later change must give them a new version) every kind of
// change must still show, to later enumerations and to devices made before.
TEST_F(NodyxEnumerationTest, SettledStoreStillShowsEveryChange) {
  AddDevice("a", 100, {1});
  AddDevice("b", 100, {2});
  auto mgr = DeviceMgr();
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(Names(Devices(mgr.get())), (std::vector<std::string>{"a", "b"}));
  const auto devices = Devices(mgr.get());  // remembered from the scan before
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_EQ(devices[1].As(&storage), S_OK);
  BOOL exists = TRUE;
  EXPECT_EQ(storage->Exists(devices[1].get(), "k", &exists), S_OK);
  EXPECT_FALSE(exists);

  std::ofstream(store_ + "/a/device.json", std::ios::trunc) << "{";  // edited in place
  DeviceRecord b;
  ASSERT_EQ(devices_->Load("b", &b), S_OK);
  b.detached = true;
  ASSERT_EQ(devices_->Save("b", b), S_OK);
  AddDevice("c", 100, {3});
  EXPECT_EQ(Names(Devices(mgr.get())), (std::vector<std::string>{"c"}));
  EXPECT_EQ(storage->Exists(devices[1].get(), "k", &exists), HRESULT_FROM_WIN32(ERROR_NOT_READY));
}

// File systems keep times to a tick or to the second, so an edit in the
// second of a read may leave the description's size and times as they were:
// a description read before it settled must not vouch for itself later,
// or that edit is never seen.
TEST_F(NodyxEnumerationTest, DescriptionReadBeforeItSettledIsReadAgain) {
  AddDevice("a", 100, {1});
  DeviceRecord record;
  DescriptionStamp stamp;
  ASSERT_EQ(devices_->Load("a", &record, nullptr, &stamp), S_OK);
  EXPECT_FALSE(stamp.has_value());
  EXPECT_FALSE(devices_->Unchanged("a", stamp));

  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(devices_->Load("a", &record, nullptr, &stamp), S_OK);
  ASSERT_TRUE(stamp.has_value());
  EXPECT_TRUE(devices_->Unchanged("a", stamp));
}

TEST_F(NodyxEnumerationTest, NextSkipResetCloneFollowComRules) {
  AddDevice("a", 100, {1});
  AddDevice("b", 100, {2});
  AddDevice("c", 100, {3});
  auto mgr = DeviceMgr();
  ComPtr<IUnknown> collection;
  ASSERT_EQ(mgr->EnumDevices(collection.put()), S_OK);
  ComPtr<IAD_EnumDevice> e;
  ASSERT_EQ(collection.As(&e), S_OK);

  IAD_Device* batch[4] = {};
  ULONG fetched = 99;
  EXPECT_EQ(e->Next(2, batch, nullptr), E_INVALIDARG);  // a null count only for one item
  EXPECT_EQ(e->Next(2, batch, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(SystemName(batch[0]), "a");
  EXPECT_EQ(SystemName(batch[1]), "b");
  batch[0]->Release();
  batch[1]->Release();

  ComPtr<IAD_EnumDevice> clone;
  ASSERT_EQ(e->Clone(clone.put()), S_OK);
  EXPECT_EQ(e->Next(4, batch, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(SystemName(batch[0]), "c");
  EXPECT_EQ(batch[1], nullptr);
  EXPECT_EQ(batch[3], nullptr);
  batch[0]->Release();

  // The clone kept the position it was made at.
  ComPtr<IAD_Device> one;
  EXPECT_EQ(clone->Next(1, one.put(), nullptr), S_OK);
  EXPECT_EQ(SystemName(one.get()), "c");

  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK);
  EXPECT_EQ(e->Next(1, one.put(), &fetched), S_OK);
  EXPECT_EQ(SystemName(one.get()), "c");
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(5), S_FALSE);
  EXPECT_EQ(e->Next(1, one.put(), &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_FALSE(one);
}

// Records the system names of the devices it is told about.
class Sink final : public kdp::ComObject<Sink, _IAD_DeviceMgrEvents> {
 public:
  explicit Sink(bool* destroyed) : destroyed_(destroyed) {}
  ~Sink() override { *destroyed_ = true; }
  HRESULT STDMETHODCALLTYPE DeviceArrived(IAD_Device* device) override {
    arrived.push_back(SystemName(device));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeviceRemoved(IAD_Device* device) override {
    removed.push_back(SystemName(device));
    return S_OK;
  }
  std::vector<std::string> arrived, removed;

 private:
  bool* destroyed_;
};

TEST_F(NodyxEnumerationTest, RefreshReportsArrivalsAndRemovalsOnce) {
  AddDevice("a", 100, {1});
  AddDevice("b", 100, {2});
  auto mgr = DeviceMgr();
  bool destroyed = false;
  auto sink = ComPtr<Sink>::Adopt(new Sink(&destroyed));
  DWORD cookie = 0, other = 0;
  ASSERT_EQ(mgr->Advise(sink.get(), &cookie), S_OK);
  ASSERT_EQ(mgr->Advise(sink.get(), &other), S_OK);
  EXPECT_NE(cookie, 0u);
  EXPECT_NE(cookie, other);
  ASSERT_EQ(mgr->Unadvise(other), S_OK);

  EXPECT_EQ(mgr->Refresh(), S_OK);
  EXPECT_TRUE(sink->arrived.empty());
  EXPECT_TRUE(sink->removed.empty());

  DeviceRecord a;
  ASSERT_EQ(devices_->Load("a", &a), S_OK);
  a.detached = true;
  ASSERT_EQ(devices_->Save("a", a), S_OK);
  ASSERT_EQ(devices_->Remove("b"), S_OK);
  AddDevice("c", 100, {3});
  EXPECT_EQ(mgr->Refresh(), S_OK);
  EXPECT_EQ(sink->removed, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(sink->arrived, (std::vector<std::string>{"c"}));

  a.detached = false;
  ASSERT_EQ(devices_->Save("a", a), S_OK);
  EXPECT_EQ(mgr->Refresh(), S_OK);
  EXPECT_EQ(sink->arrived, (std::vector<std::string>{"c", "a"}));
  EXPECT_EQ(sink->removed.size(), 2u);

  EXPECT_EQ(mgr->Unadvise(cookie), S_OK);
  EXPECT_EQ(mgr->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(mgr->Unadvise(0), CONNECT_E_NOCONNECTION);
  sink = nullptr;
  EXPECT_TRUE(destroyed) << "the manager kept a reference to an unadvised sink";
}

TEST_F(NodyxEnumerationTest, UninitializeDropsSinks) {
  auto mgr = DeviceMgr();
  bool destroyed = false;
  {
    auto sink = ComPtr<Sink>::Adopt(new Sink(&destroyed));
    DWORD cookie = 0;
    ASSERT_EQ(mgr->Advise(sink.get(), &cookie), S_OK);
  }
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(mgr->Uninitialize(), S_OK);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(mgr->Refresh(), E_UNEXPECTED);
}

}  // namespace
}  // namespace nodyx::test
