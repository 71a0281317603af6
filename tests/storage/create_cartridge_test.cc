#include "path_test_support.h"
#include "storage/create_cartridge.h"
#include "storage/dev_cartridge.h"
#include "storage/dev_cartridge2.h"
#include "storage/fls_cartridge.h"

namespace keydepot {
namespace {

class CreateCartridgeTest : public testing::PathTest {
 protected:
  template <class Kind>
  static void Expect(const std::string& path, const std::string& location, const std::string& item) {
    SCOPED_TRACE(path);
    auto cartridge = CreateCartridge(path);
    ASSERT_NE(cartridge, nullptr);
    EXPECT_NE(dynamic_cast<Kind*>(cartridge.get()), nullptr);
    EXPECT_EQ(cartridge->location, location);
    EXPECT_EQ(cartridge->item, item);
  }
};

TEST_F(CreateCartridgeTest, FolderForms) {
  Expect<FlsCartridge>("C:\\keys\\a.bin", "C:\\keys\\", "C:\\keys\\a.bin");
  Expect<FlsCartridge>("FLS|C:\\keys\\a.bin|", "C:\\keys\\", "C:\\keys\\a.bin");
  Expect<FlsCartridge>("C:\\keys\\a.bin|", "C:\\keys\\", "C:\\keys\\a.bin");
  Expect<FlsCartridge>("a.bin", "", "a.bin");
  Expect<FlsCartridge>("", "", "");
  Expect<FlsCartridge>("FLS|C:\\keys\\a.bin", "", "");  // an unterminated field is no field
  Expect<FlsCartridge>("FLS|C:\\keys\\a.bin|C:\\other\\b.bin|", "C:\\keys\\", "C:\\keys\\a.bin");
  Expect<FlsCartridge>("/srv/keys/a.bin", "/srv/keys/", "/srv/keys/a.bin");
}

TEST_F(CreateCartridgeTest, DeviceForms) {
  Expect<DevCartridge>("DEV|100|key1|", "100", "key1");
  Expect<DevCartridge>("DEV|100|key1", "100", "");
  Expect<DevCartridge2>("1|2\\5|100\\17|0A1B\\8|keys", "1|2\\5|100\\17|0A1B\\8|keys", "keys");
}

TEST_F(CreateCartridgeTest, UnparsableDevicePathsGiveNoCartridge) {
  EXPECT_EQ(CreateCartridge("fls|C:\\keys\\a.bin|"), nullptr);
  EXPECT_EQ(KDPGetLastError(), WinErr2ToolsErr(0xFFFF));
  CertInfo record;
  IdentObj data;
  record.data = &data;
  record.path = "fls|C:\\keys\\a.bin|";
  EXPECT_FALSE(Load(&record));
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(GetSize(&record), 0u);
  EXPECT_FALSE(IsExist(&record));
  EXPECT_FALSE(Clear(&record));
  EXPECT_TRUE(GetStorageName(record.path.c_str()).IsEmpty());
  EXPECT_EQ(GetDeviceID(record.path.c_str()).GetObjectSize(), 0u);
  EXPECT_EQ(KDPGetLastError(), WinErr2ToolsErr(0xFFFF));
}

}  // namespace
}  // namespace keydepot
