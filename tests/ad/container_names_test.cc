#include "keydepot/ad/containers.h"
#include "keydepot/ad/device_path.h"
#include "keydepot/ad/devices.h"
#include "keydepot/ad/session.h"
#include "test_support.h"
#include "tools2/errors.h"

namespace keydepot::ad {
namespace {

using keydepot::testing::ComponentTest;
using Names = std::list<std::string>;

constexpr HRESULT kPartial = 0x00040301;

class ContainerNamesTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    tc().AddDeviceType(200, "Crypto");
    session_ = OpenSilentSession(nullptr);
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    CloseSession(session_);
    ComponentTest::TearDown();
  }
  HRESULT List(const char* location, Names& names, bool fullPaths = false, bool skipDefault = false) {
    return GetADContainerNames(session_, location, names, fullPaths, skipDefault);
  }
  ComPtr<IAD_Device> FirstDevice() {
    ComPtr<IAD_EnumDevice> devices;
    ComPtr<IAD_Device> device;
    ULONG fetched = 0;
    if (SUCCEEDED(GetDevicesEnum(session_, devices.put()))) devices->Next(1, device.put(), &fetched);
    return device;
  }
  static kdtc::Device Storage(kdtc::Bytes id, std::vector<std::string> items,
                              std::optional<std::string> defaultContainer = std::nullopt) {
    kdtc::Device d{.type = 100, .id = std::move(id), .defaultContainer = std::move(defaultContainer)};
    for (auto& name : items) d.items.emplace_back(name, kdtc::Bytes{1});
    return d;
  }
  static kdtc::Device Crypto(kdtc::Bytes id, std::vector<std::string> containers,
                             std::optional<std::string> defaultContainer = std::nullopt) {
    return {.type = 200,
            .id = std::move(id),
            .systemName = "Reader",
            .defaultContainer = std::move(defaultContainer),
            .keyStorage = true,
            .cryptoDevice = true,
            .containers = std::move(containers)};
  }

  DWORD session_ = 0;
};

TEST_F(ContainerNamesTest, OneDeviceListsEverything) {
  tc().AddDevice(Storage({0x01}, {"a", "default", "b"}));
  Names names = {"kept"};
  {
    ComPtr<IAD_Device> device = FirstDevice();
    EXPECT_EQ(GetDeviceContainerNames(device.get(), names), S_OK);
  }
  EXPECT_EQ(names, (Names{"kept", "a", "default", "b"}));
  EXPECT_EQ(GetDeviceContainerNames(nullptr, names), E_INVALIDARG);
  EXPECT_EQ(names.size(), 4u);

  tc().AddDevice({.type = 100, .id = {0x02}, .keyStorage = false});
  tc().AddDevice(Crypto({0x03}, {"c1", "c2"}));
  ComPtr<IAD_EnumDevice> devices;
  GetDevicesEnum(session_, devices.put());
  ComPtr<IAD_Device> device;
  ULONG fetched = 0;
  devices->Next(1, device.put(), &fetched);
  devices->Next(1, device.put(), &fetched);
  EXPECT_EQ(GetDeviceContainerNames(device.get(), names), E_NOINTERFACE);
  devices->Next(1, device.put(), &fetched);
  Names crypto;
  EXPECT_EQ(GetDeviceContainerNames(device.get(), crypto), S_OK);
  EXPECT_EQ(crypto, (Names{"c1", "c2"}));  // both interfaces: treated as crypto only
}

TEST_F(ContainerNamesTest, DefaultContainersAndSkipping) {
  tc().AddDevice(Storage({0x01}, {"a", "default", "b"}, "b"));
  tc().AddDevice(Storage({0x02}, {"x", "y"}, "missing"));
  tc().AddDevice(Storage({0x03}, {"p", "q"}, "q"));
  Names names;
  EXPECT_EQ(List(nullptr, names), S_OK);
  // Each device's own default; a missing default lists everything.
  EXPECT_EQ(names, (Names{"b", "x", "y", "q"}));

  names.clear();
  EXPECT_EQ(List("", names, false, true), S_OK);
  EXPECT_EQ(names, (Names{"a", "b", "x", "y", "p", "q"}));  // "default" is left out
}

TEST_F(ContainerNamesTest, NamedContainersAndFilters) {
  tc().AddDevice(Storage({0x01}, {"keys", "other"}));
  tc().AddDevice(Crypto({0x02}, {"keys", "more"}));
  Names names;
  EXPECT_EQ(List("keys:.x", names), S_OK);
  EXPECT_EQ(names, (Names{"keys", "keys"}));

  names.clear();
  EXPECT_EQ(List("\\\\!\\crypto\\02\\keys", names, true), S_OK);
  ASSERT_EQ(names.size(), 1u);
  IADPathProps* props = nullptr;
  ASSERT_EQ(ParseADPath(names.front(), &props), S_OK);
  EXPECT_EQ(props->GetDeviceType(), 200);
  EXPECT_EQ(props->GetDeviceIDBytes(), (DeviceId{0x02}));
  EXPECT_EQ(props->GetContainerName(), "keys");
  props->Release();

  names.clear();
  EXPECT_EQ(List("\\\\.\\READER\\more", names), S_OK);
  EXPECT_EQ(names, Names{"more"});

  // A named container that a device lacks abandons that device.
  names.clear();
  EXPECT_EQ(List("more", names), S_OK);  // the crypto device listed it last
  EXPECT_EQ(names, Names{"more"});
  names.clear();
  EXPECT_EQ(List("other", names), kPartial);
  EXPECT_EQ(names, Names{"other"});
  names.clear();
  EXPECT_EQ(List("5|100\\17|01\\8|nothing", names), kPartial);
  EXPECT_TRUE(names.empty());

  EXPECT_EQ(List("5|100", names), E_UNEXPECTED);
}

TEST_F(ContainerNamesTest, TheIdentifierStopsTheWalk) {
  tc().AddDevice(Storage({0x01}, {"k"}));
  tc().AddDevice(Storage({0x01}, {"k"}));
  Names names;
  EXPECT_EQ(List("5|100\\17|01\\8|k", names), S_OK);
  EXPECT_EQ(names.size(), 1u);
  names.clear();
  EXPECT_EQ(List("k", names), S_OK);
  EXPECT_EQ(names.size(), 2u);
}

TEST_F(ContainerNamesTest, UnreadableNamesAreSkippedAndLaterSuccessWins) {
  tc().AddDevice(Crypto({0x01}, {"a", "bad", "c"}));
  tc().Force({.call = "Container.GetName", .result = E_FAIL, .name = "bad"});
  Names names;
  EXPECT_EQ(List(nullptr, names, true), S_OK);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names.back(), "1|2\\5|200\\17|01\\8|c");

  tc().AddDevice(Storage({0x02}, {"z"}));
  tc().Force({.call = "Device.GetID", .result = E_FAIL, .device = 1});
  names.clear();
  EXPECT_EQ(List(nullptr, names), kPartial);  // the last device's names could not be built
  EXPECT_EQ(names, (Names{"a", "c"}));
}

TEST_F(ContainerNamesTest, ComponentFailures) {
  tc().AddDevice(Storage({0x01}, {"a"}));
  tc().Force("EnumDevice.Reset", E_ACCESSDENIED);
  Names names;
  EXPECT_EQ(List(nullptr, names), E_ACCESSDENIED);
  tc().ClearFaults();
  tc().Force("KeyStorage.EnumItems", E_FAIL);
  EXPECT_EQ(List(nullptr, names, false, true), kPartial);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(GetADContainerNames(0, nullptr, names, false, false), TooErr2HResult(TOOERR_NO_SESSION));
}

}  // namespace
}  // namespace keydepot::ad
