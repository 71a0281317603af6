// nodyx-admin end to end: the built binary against a temporary store.
#include "admin_tool.h"
#include "store/device_store.h"
#include "store/pin_hash.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace nodyx::test {
namespace {

using NodyxAdminToolTest = AdminToolTest;

// Detach, attach and remove, and their JSON: tests/cli/test_admin.py.
TEST_F(NodyxAdminToolTest, DeviceLifecycle) {
  kdp::RemoveEnvironmentValue("NODYX_STORE");  // the option names the store
  EXPECT_EQ(Admin({"--store", store_, "create", "tok", "--type", "101", "--id", "0a1b", "--display-name", "My token",
                   "--default-container", "keys"})
                .code,
            0);
  kdp::SetEnvironmentValue("NODYX_STORE", store_.c_str());
  EXPECT_EQ(Admin({"create", "tok2", "--type", "200", "--crypto", "--no-key-storage"}).code, 0);
  ToolRun list = Admin({"list"});
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find("tok\t101\t0A1B\tattached\tMy token"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("tok2\t200\t"), std::string::npos);

  ToolRun show = Admin({"show", "tok"});
  EXPECT_NE(show.out.find("default container: keys"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("PIN:               none"), std::string::npos);

  DeviceRecord r;
  ASSERT_EQ(DeviceStore(store_).Load("tok", &r), S_OK);
  EXPECT_EQ(r.type, 101);
  EXPECT_EQ(r.id, (std::vector<std::uint8_t>{0x0A, 0x1B}));
}

// Exit codes and containers: tests/cli/test_admin.py.
TEST_F(NodyxAdminToolTest, ItemsKeepEveryByte) {
  ASSERT_EQ(Admin({"create", "tok"}).code, 0);
  std::string payload("bin\0ary\xff", 8);
  const std::string in = File("in", payload);
  EXPECT_EQ(Admin({"put-item", "tok", "keys", "--from", in}).code, 0);
  EXPECT_EQ(Admin({"put-item", "tok", "other"}, payload).code, 0);  // from standard input
  ToolRun got = Admin({"get-item", "tok", "keys"});
  EXPECT_EQ(got.code, 0);
  EXPECT_EQ(got.out, payload);
  kdp::WipedBytes stored;  // as keydepot save stores it: the length first
  ASSERT_EQ(DeviceStore(store_).ReadItem("tok", "keys", &stored), S_OK);
  EXPECT_EQ(std::string(stored.chars(), stored.size()), std::string("\x08\0\0\0", 4) + payload);
  EXPECT_EQ(Admin({"put-item", "tok", "plain", "--raw", "--from", in}).code, 0);
  EXPECT_EQ(Admin({"get-item", "tok", "plain"}).code, 3);  // not stored with its length
  EXPECT_EQ(Admin({"get-item", "tok", "plain", "--raw"}).out, payload);
  EXPECT_EQ(Admin({"list-items", "tok"}).out, "keys\nother\nplain\n");
  EXPECT_EQ(Admin({"delete-item", "tok", "keys"}).code, 0);
  EXPECT_EQ(Admin({"list-items", "tok"}).out, "other\nplain\n");
}

TEST_F(NodyxAdminToolTest, PinIsStoredOnlyAsAHash) {
  ASSERT_EQ(Admin({"create", "tok"}).code, 0);
  const std::string pinFile = File("pin", "s3cret-PIN\n");
  EXPECT_EQ(Admin({"set-pin", "tok", "--pin-file", pinFile}).code, 0);
  ToolRun show = Admin({"show", "tok"});
  EXPECT_NE(show.out.find("PIN:               set"), std::string::npos);
  EXPECT_EQ(show.out.find("s3cret"), std::string::npos);
  std::stringstream text;
  text << std::ifstream(store_ + "/tok/device.json").rdbuf();  // closed again: Windows would keep the tool out
  EXPECT_EQ(text.str().find("s3cret"), std::string::npos);

  DeviceRecord r;
  ASSERT_EQ(DeviceStore(store_).Load("tok", &r), S_OK);
  ASSERT_TRUE(r.pin);
  EXPECT_TRUE(PinMatches("s3cret-PIN", *r.pin));  // the line end is not part of the PIN
  EXPECT_FALSE(PinMatches("s3cret-PIN\n", *r.pin));

  EXPECT_EQ(Admin({"set-pin", "tok"}, "").code, 7);
  const ToolRun clear = Admin({"clear-pin", "tok"});
  EXPECT_EQ(clear.code, 0) << clear.err;
  ASSERT_EQ(DeviceStore(store_).Load("tok", &r), S_OK);
  EXPECT_FALSE(r.pin);
}

TEST_F(NodyxAdminToolTest, SaysWhyADescriptionMakesItsDeviceUnseen) {
  ASSERT_EQ(Admin({"create", "tok", "--id", "01"}).code, 0);
  std::ofstream(store_ + "/tok/device.json")
      << R"({"format":1,"type":100,"id":"01","displayName":"d","systemName":"s","room":-1})";
  const std::string why = "\"room\" must be an integer from 0 to 4294967295, not -1";
  ToolRun show = Admin({"show", "tok"});
  EXPECT_EQ(show.code, 3);
  EXPECT_NE(show.err.find("device 'tok': the device description is damaged (" + why + ")"), std::string::npos)
      << show.err;
  ToolRun list = Admin({"list"});
  EXPECT_EQ(list.code, 0);
  EXPECT_EQ(list.out, "");
  EXPECT_EQ(list.err, "nodyx-admin: folder 'tok' is not seen as a device: " + why + "\n");
}

}  // namespace
}  // namespace nodyx::test
