// Type objects: the type table, identifier text and display names, and the
// identity slots of a device.
#include "component_fixture.h"

#include <cstring>

namespace nodyx::test {
namespace {

class NodyxDeviceTypeTest : public ComponentTest {
 protected:
  ComPtr<IAD_DeviceType> Type(EAD_DeviceType number) {
    ComPtr<IAD_DeviceType> type;
    auto mgr = TypeMgr();
    EXPECT_EQ(mgr->GetDeviceType(number, type.put()), S_OK);
    return type;
  }

  std::vector<BYTE> TextToId(IAD_DeviceType* type, const char* text, HRESULT* hr) {
    DWORD size = 0;
    *hr = type->TextToId(text, &size, nullptr);
    if (FAILED(*hr)) return {};
    std::vector<BYTE> id(size);
    *hr = type->TextToId(text, &size, id.data());
    EXPECT_EQ(size, id.size());
    return id;
  }
};

TEST_F(NodyxDeviceTypeTest, TableHasTheFamiliesAndRefusesUnknownNumbers) {
  auto mgr = TypeMgr();
  for (const auto& [number, name] : std::vector<std::pair<int, std::string>>{
           {100, "SoftToken"}, {101, "SoftTokenPlus"}, {102, "SoftTokenLite"}, {200, "SoftCrypto"}}) {
    ComPtr<IAD_DeviceType> type;
    ASSERT_EQ(mgr->GetDeviceType(static_cast<EAD_DeviceType>(number), type.put()), S_OK);
    EAD_DeviceType got{};
    char text[AD_NAME_BUFFER];
    EXPECT_EQ(type->GetType(&got), S_OK);
    EXPECT_EQ(got, number);
    EXPECT_EQ(type->GetTypeName(text), S_OK);
    EXPECT_EQ(text, name);
  }
  for (const int unknown : {0, 1, 105, -100}) {
    IAD_DeviceType* type = reinterpret_cast<IAD_DeviceType*>(0x1);
    EXPECT_EQ(mgr->GetDeviceType(static_cast<EAD_DeviceType>(unknown), &type), HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(type, nullptr);
  }
}

TEST_F(NodyxDeviceTypeTest, IdentifierTextRoundTripsAndFitsTheBuffer) {
  auto type = Type(static_cast<EAD_DeviceType>(100));
  std::vector<BYTE> longest(31);
  for (std::size_t i = 0; i < longest.size(); ++i) longest[i] = static_cast<BYTE>(0xF0 + i);
  // The caller's buffer has no size argument: guard bytes after 64 show an overrun.
  char text[AD_ID_TEXT_BUFFER + 8];
  std::memset(text, 'Z', sizeof text);
  ASSERT_EQ(type->IdToText(static_cast<DWORD>(longest.size()), longest.data(), text), S_OK);
  EXPECT_EQ(std::strlen(text), 62u);
  EXPECT_EQ(std::string(text, 4), "F0F1");
  EXPECT_EQ(text[AD_ID_TEXT_BUFFER], 'Z');
  EXPECT_EQ(std::strpbrk(text, "\\|"), nullptr);

  HRESULT hr;
  EXPECT_EQ(TextToId(type.get(), text, &hr), longest);
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(TextToId(type.get(), "0aFf", &hr), (std::vector<BYTE>{0x0A, 0xFF}));
  EXPECT_EQ(hr, S_OK);
}

TEST_F(NodyxDeviceTypeTest, BadIdentifiersAndTextsAreRefused) {
  auto type = Type(static_cast<EAD_DeviceType>(200));
  char text[AD_ID_TEXT_BUFFER];
  std::vector<BYTE> tooLong(32, 1);
  BYTE one = 1;
  EXPECT_EQ(type->IdToText(32, tooLong.data(), text), E_INVALIDARG);
  EXPECT_EQ(type->IdToText(0, &one, text), E_INVALIDARG);
  EXPECT_EQ(type->IdToText(1, nullptr, text), E_INVALIDARG);

  DWORD size = 0;
  for (const char* bad : {"", "ABC", "0G", "12 4", "-1", "AB|C"}) {
    EXPECT_EQ(type->TextToId(bad, &size, nullptr), E_INVALIDARG) << bad;
  }
  EXPECT_EQ(type->TextToId(std::string(64, 'A').c_str(), &size, nullptr), E_INVALIDARG);
  EXPECT_EQ(type->TextToId(nullptr, &size, nullptr), E_POINTER);

  // A buffer that is too small gets the needed size and is not written.
  BYTE small[2] = {0x55, 0x55};
  size = 1;
  EXPECT_EQ(type->TextToId("010203", &size, small), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(small[0], 0x55);
}

TEST_F(NodyxDeviceTypeTest, DeviceIdentitySlotsAgreeWithItsType) {
  DeviceRecord r = MakeRecord(101, {0xDE, 0xAD, 0x01}, "sys");
  r.displayName = std::string(300, 'n');       // hand-edited, over the limit
  r.defaultContainer = std::string(300, 'k');  // hand-edited too: cut, not refused
  AddDevice("dev", r);
  auto mgr = DeviceMgr();
  auto device = OnlyDevice(mgr.get());
  ASSERT_TRUE(device);

  DWORD size = 0;
  ASSERT_EQ(device->GetID(&size, nullptr), S_OK);
  ASSERT_EQ(size, 3u);
  BYTE id[3] = {};
  DWORD tooSmall = 2;
  EXPECT_EQ(device->GetID(&tooSmall, id), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(tooSmall, 3u);
  ASSERT_EQ(device->GetID(&size, id), S_OK);
  EXPECT_EQ(std::vector<BYTE>(id, id + 3), r.id);

  ComPtr<IAD_DeviceType> type;
  ASSERT_EQ(device->GetDeviceType(type.put()), S_OK);
  EAD_DeviceType number{};
  EXPECT_EQ(type->GetType(&number), S_OK);
  EXPECT_EQ(number, 101);
  char fromDevice[AD_PATH_BUFFER], fromType[AD_ID_TEXT_BUFFER];
  EXPECT_EQ(device->GetIDText(fromDevice), S_OK);
  EXPECT_EQ(type->IdToText(3, id, fromType), S_OK);
  EXPECT_STREQ(fromDevice, "DEAD01");
  EXPECT_STREQ(fromDevice, fromType);

  char name[AD_NAME_BUFFER + 8];
  std::memset(name, 'Z', sizeof name);
  EXPECT_EQ(device->GetDisplayName(name), S_OK);
  EXPECT_EQ(std::strlen(name), AD_NAME_BUFFER - 1);
  EXPECT_EQ(name[AD_NAME_BUFFER], 'Z');
  // The type names an attached device by its display name, others by type and hex.
  EXPECT_EQ(type->GetDisplayName(3, id, name), S_OK);
  EXPECT_EQ(std::strlen(name), AD_NAME_BUFFER - 1);
  BYTE unknownId[2] = {0x00, 0x7F};
  EXPECT_EQ(type->GetDisplayName(2, unknownId, name), S_OK);
  EXPECT_STREQ(name, "SoftTokenPlus 007F");

  char container[AD_PATH_BUFFER];
  DWORD containerSize = 2;
  EXPECT_EQ(device->GetDefaultContainer(&containerSize, container), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(containerSize, AD_PATH_BUFFER);
  EXPECT_EQ(device->GetDefaultContainer(&containerSize, container), S_OK);
  EXPECT_EQ(std::string(container), std::string(AD_PATH_BUFFER - 1, 'k'));
  EXPECT_EQ(containerSize, AD_PATH_BUFFER);
}

TEST_F(NodyxDeviceTypeTest, DeviceWithoutDefaultContainerSaysSo) {
  AddDevice("dev", 100, {1});
  auto mgr = DeviceMgr();
  auto device = OnlyDevice(mgr.get());
  char container[AD_PATH_BUFFER];
  DWORD size = AD_PATH_BUFFER;
  EXPECT_EQ(device->GetDefaultContainer(&size, container), HRESULT_FROM_WIN32(1168));
}

}  // namespace
}  // namespace nodyx::test
