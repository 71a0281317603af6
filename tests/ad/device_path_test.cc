#include "keydepot/ad/device_path.h"
#include "keydepot/ad/devices.h"
#include "keydepot/ad/session.h"
#include "test_support.h"

namespace keydepot::ad {
namespace {

using keydepot::testing::ComponentTest;

struct Parsed {
  HRESULT result = S_OK;
  EAD_DeviceType type = EAD_DeviceType_None;
  DeviceId id;
  std::string container;
};

Parsed Parse(const std::string& path) {
  IADPathProps* props = nullptr;
  Parsed parsed;
  parsed.result = ParseADPath(path, &props);
  if (SUCCEEDED(parsed.result)) {
    EXPECT_EQ(props->RefCount(), 1);
    parsed.type = props->GetDeviceType();
    parsed.id = props->GetDeviceIDBytes();
    parsed.container = props->GetContainerName();
    props->Release();
  } else {
    EXPECT_EQ(props, nullptr);
  }
  return parsed;
}

const DeviceId kId = {0x0A, 0x1B};

class DevicePathTest : public ComponentTest {};

TEST_F(DevicePathTest, TextIdentifiersAndFieldRules) {
  for (const char* path :
       {"1|2\\5|100\\17|0A1B\\8|keys", "5|100\\17|0A1B\\8|keys", "\\\\!\\1|2\\5|100\\17|0A1B\\8|keys",
        "05|100\\17|0A1B\\8|keys", " 5|100\\17|0A1B\\8|keys", "5x|100\\17|0A1B\\8|keys",
        "x5|7\\18|1\\5|100\\17|0A1B\\8|keys", "5|1\\5|100\\17|0A1B\\8|keys"}) {
    SCOPED_TRACE(path);
    const Parsed p = Parse(path);
    ASSERT_EQ(p.result, S_OK);
    EXPECT_EQ(p.type, 100);
    EXPECT_EQ(p.id, kId);
    EXPECT_EQ(p.container, "keys");
  }
  EXPECT_EQ(Parse("5|100\\17|0A1B").container, "");
  EXPECT_EQ(Parse("8|a|b\\5|100\\17|0A1B").container, "");  // a second bar voids the field
  // The identifier is converted with the type in force when key 17 is met.
  EXPECT_EQ(Parse("17|0A1B\\5|100").result, E_UNEXPECTED);
  EXPECT_EQ(Parse("5|100\\17|XYZ").result, E_UNEXPECTED);
  EXPECT_EQ(Parse("5|0\\17|0A1B").result, E_UNEXPECTED);
  // The component's text-to-identifier size is capped as identifiers read
  // from devices are: beyond it the conversion fails, nothing is thrown.
  EXPECT_EQ(Parse("5|100\\17|" + std::string(2 * 65536, 'A')).id, DeviceId(65536, 0xAA));
  EXPECT_EQ(Parse("5|100\\17|" + std::string(2 * 65537, 'A')).result, E_UNEXPECTED);
}

TEST_F(DevicePathTest, LegacyRawIdentifiers) {
  Parsed p = Parse("1|1\\5|100\\7|4\\abcd\\8|x");
  EXPECT_EQ(p.id, (DeviceId{0x61, 0x62, 0x63, 0x64}));
  EXPECT_EQ(p.container, "x");
  EXPECT_EQ(Parse("1|1\\5|100\\7|3\\a\x3F\xFF\\8|x").id, (DeviceId{0x61, 0x00, 0x00}));
  EXPECT_EQ(Parse("1|1\\5|100\\7|3\\\\8|x").id, (DeviceId{0, 0, 0}));
  // Length 0 consumes the next field as raw data, so no container and no id.
  EXPECT_EQ(Parse("1|1\\5|100\\7|0\\8|x").result, E_UNEXPECTED);
  // Never past the end of the raw field; a long field gives its first n
  // bytes; absurd lengths of zero bytes are not taken.
  EXPECT_EQ(Parse("1|1\\5|100\\7|99\\ab").id, (DeviceId{0x61, 0x62}));
  const std::string raw(5000, 'r');
  EXPECT_EQ(Parse("1|1\\5|100\\7|4097\\" + raw + "\\8|x").id, DeviceId(4097, 'r'));
  EXPECT_EQ(Parse("1|1\\5|100\\7|-2\\ab").result, E_UNEXPECTED);
  EXPECT_EQ(Parse("1|1\\5|100\\7|65536\\").id, DeviceId(65536, 0));  // as long as a device's own may be
  EXPECT_EQ(Parse("1|1\\5|100\\7|65537\\").result, E_UNEXPECTED);
  EXPECT_EQ(Parse("1|1\\5|100\\7|2000000000\\").result, E_UNEXPECTED);
  EXPECT_EQ(Parse("1|1\\5|100\\7|2").result, E_UNEXPECTED);  // no raw field follows
  // Key 17 is read only under version 2, key 7 only under version 1.
  EXPECT_EQ(Parse("1|1\\5|100\\17|0A1B").result, E_UNEXPECTED);
  EXPECT_EQ(Parse("5|100\\7|2\\ab").result, E_UNEXPECTED);
}

TEST_F(DevicePathTest, BadArgumentsLeaveTheOutPointerAlone) {
  IADPathProps* untouched = reinterpret_cast<IADPathProps*>(0x1);
  EXPECT_EQ(ParseADPath("", &untouched), E_INVALIDARG);
  EXPECT_EQ(untouched, reinterpret_cast<IADPathProps*>(0x1));
  EXPECT_EQ(ParseADPath("5|100\\17|0A1B", nullptr), E_INVALIDARG);
}

TEST_F(DevicePathTest, AFilterThatCannotOpenIsThrown) {
  tc().Force("GetClassObject", E_ACCESSDENIED);
  IADPathProps* props = nullptr;
  EXPECT_THROW(ParseADPath("5|100\\17|0A1B", &props), long);
  std::string out = "old";
  EXPECT_EQ(MakeADPath(static_cast<EAD_DeviceType>(100), kId, "c", out), E_ACCESSDENIED);
  EXPECT_EQ(out, "old");
  bool equal = false;
  EXPECT_THROW(IsADPathEqual("5|100\\17|0A1B", "5|100\\17|0A1B", equal), long);
}

TEST_F(DevicePathTest, MakeWritesTheFourFieldsAndParsesBack) {
  tc().AddDeviceType(-2, "Negative");
  std::string out;
  EXPECT_EQ(MakeADPath(static_cast<EAD_DeviceType>(100), kId, "keys", out), S_OK);
  EXPECT_EQ(out, "1|2\\5|100\\17|0A1B\\8|keys");
  EXPECT_EQ(MakeADPath(static_cast<EAD_DeviceType>(100), kId, "", out), S_OK);
  EXPECT_EQ(out, "1|2\\5|100\\17|0A1B\\8|");
  EXPECT_EQ(MakeADPath(static_cast<EAD_DeviceType>(-2), kId, "c", out), S_OK);
  EXPECT_EQ(out, "1|2\\5|-2\\17|0A1B\\8|c");
  const Parsed back = Parse(out);
  EXPECT_EQ(back.type, -2);
  EXPECT_EQ(back.id, kId);
  EXPECT_EQ(back.container, "c");

  tc().ClearRecords();
  out = "old";
  EXPECT_EQ(MakeADPath(static_cast<EAD_DeviceType>(100), DeviceId{}, "c", out), E_INVALIDARG);
  EXPECT_EQ(out, "old");
  EXPECT_EQ(tc().CallCount("GetClassObject"), 0u);

  tc().Force("DeviceType.IdToText", E_FAIL);
  EXPECT_EQ(MakeADPath(static_cast<EAD_DeviceType>(100), kId, "c", out), E_FAIL);
  EXPECT_EQ(out, "old");
  // A type the component does not know.
  EXPECT_TRUE(FAILED(MakeADPath(static_cast<EAD_DeviceType>(555), kId, "c", out)));
  EXPECT_EQ(out, "old");
}

TEST_F(DevicePathTest, EqualityByDeviceIdentityAndContainer) {
  bool equal = false;
  ASSERT_EQ(IsADPathEqual("1|2\\5|100\\17|0A1B\\8|Keys", "8|keys\\5|100\\17|0A1B", equal), S_OK);
  EXPECT_TRUE(equal);
  // A legacy raw identifier with the same bytes names the same device.
  ASSERT_EQ(IsADPathEqual("1|1\\5|100\\7|2\\ab\\8|k", "5|100\\17|6162\\8|k", equal), S_OK);
  EXPECT_TRUE(equal);
  IsADPathEqual("5|100\\17|0A1B\\8|x", "5|100\\17|0A1B", equal);
  EXPECT_FALSE(equal);
  IsADPathEqual("5|100\\17|0A1B", "5|100\\17|0A1B\\8|", equal);
  EXPECT_TRUE(equal);
  IsADPathEqual("5|100\\17|0A1B", "5|100\\17|0A1B00", equal);
  EXPECT_FALSE(equal);  // identifiers of another length
  tc().AddDeviceType(200, "Other");
  IsADPathEqual("5|100\\17|0A1B", "5|200\\17|0A1B", equal);
  EXPECT_FALSE(equal);

  equal = true;
  EXPECT_EQ(IsADPathEqual("", "5|100\\17|0A1B", equal), E_INVALIDARG);
  EXPECT_TRUE(equal);
  EXPECT_EQ(IsADPathEqual("5|100\\17|0A1B", "5|100", equal), E_UNEXPECTED);
}

TEST_F(DevicePathTest, IdentifierTextComesFromTheComponent) {
  IADPathProps* props = nullptr;
  ASSERT_EQ(ParseADPath("5|100\\17|0a1b", &props), S_OK);
  std::string text;
  EXPECT_EQ(props->GetDeviceIDText(text), S_OK);
  EXPECT_EQ(text, "0A1B");
  tc().Force("DeviceType.IdToText", E_FAIL);
  text = "old";
  EXPECT_EQ(props->GetDeviceIDText(text), E_FAIL);
  EXPECT_EQ(text, "old");
  props->Release();
}

TEST_F(DevicePathTest, DevicePathOfADevice) {
  tc().AddDevice({.type = 100, .id = kId, .displayName = "A"});
  tc().AddDevice({.type = 100, .id = {}, .displayName = "NoId"});
  const Session session(nullptr);
  ComPtr<IAD_EnumDevice> devices;
  ASSERT_EQ(GetDevicesEnum(session, devices.put()), S_OK);
  ComPtr<IAD_Device> first;
  ComPtr<IAD_Device> second;
  ULONG fetched = 0;
  devices->Next(1, first.put(), &fetched);
  devices->Next(1, second.put(), &fetched);

  std::string out = "old";
  EXPECT_EQ(MakeDevicePath(nullptr, out), E_INVALIDARG);
  EXPECT_EQ(MakeDevicePath(first.get(), out), S_OK);
  EXPECT_EQ(out, "1|2\\5|100\\17|0A1B\\8|");
  out = "old";
  EXPECT_EQ(MakeDevicePath(second.get(), out), E_UNEXPECTED);
  EXPECT_EQ(out, "old");
  tc().Force("Device.GetDeviceType", E_FAIL);
  EXPECT_EQ(MakeDevicePath(first.get(), out), E_FAIL);
}

}  // namespace
}  // namespace keydepot::ad
