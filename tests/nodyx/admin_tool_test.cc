// nodyx-admin end to end: the built binary against a temporary store.
#include "component_fixture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace nodyx::test {
namespace {

struct Result {
  int code = -1;
  std::string out;
};

class NodyxAdminToolTest : public ::testing::Test {
 protected:
  void SetUp() override { store_ = MakeTempFolder(); }
  void TearDown() override { RemoveFolder(store_); }

  // Runs the tool through the shell; args are trusted test text. stdin is
  // empty unless `input` names a file; error output is kept only on request.
  Result Run(const std::string& args, const std::string& input = "/dev/null", bool withErrors = false) {
    const std::string command = std::string(NODYX_ADMIN_PATH) + " --store '" + store_ + "' " + args + " <" + input +
                                (withErrors ? " 2>&1" : " 2>/dev/null");
    Result result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    const int status = ::pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }

  std::string WriteFile(const std::string& name, const std::string& content) {
    const std::string path = store_ + "-" + name;
    std::ofstream(path, std::ios::binary) << content;
    files_.push_back(path);
    return path;
  }

  std::string store_;
  std::vector<std::string> files_;

  ~NodyxAdminToolTest() override {
    for (const auto& f : files_) std::filesystem::remove(f);
  }
};

TEST_F(NodyxAdminToolTest, DeviceLifecycle) {
  EXPECT_EQ(Run("create tok --type 101 --id 0a1b --display-name 'My token' --default-container keys").code, 0);
  EXPECT_EQ(Run("create tok2 --type 200 --crypto --no-key-storage").code, 0);
  Result list = Run("list");
  EXPECT_EQ(list.code, 0);
  EXPECT_NE(list.out.find("tok\t101\t0A1B\tattached\tMy token"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("tok2\t200\t"), std::string::npos);

  EXPECT_EQ(Run("detach tok").code, 0);
  EXPECT_NE(Run("show tok").out.find("detached"), std::string::npos);
  EXPECT_EQ(Run("attach tok").code, 0);
  Result show = Run("show tok");
  EXPECT_NE(show.out.find("default container: keys"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("PIN:               none"), std::string::npos);

  DeviceRecord r;
  ASSERT_EQ(DeviceStore(store_).Load("tok", &r), S_OK);
  EXPECT_EQ(r.type, 101);
  EXPECT_EQ(r.id, (std::vector<std::uint8_t>{0x0A, 0x1B}));

  EXPECT_EQ(Run("remove tok").code, 0);
  EXPECT_EQ(Run("show tok").code, 3);
}

TEST_F(NodyxAdminToolTest, RefusalsAndUsageErrors) {
  ASSERT_EQ(Run("create tok --type 100 --id 01").code, 0);
  EXPECT_EQ(Run("create tok --type 100 --id 02").code, 4);          // folder exists
  EXPECT_EQ(Run("create other --type 100 --id 01").code, 4);        // same type and identifier
  EXPECT_EQ(Run("create x --type 999").code, 4);                    // unknown type
  EXPECT_EQ(Run("create x --id " + std::string(64, 'A')).code, 4);  // identifier over 31 bytes
  EXPECT_EQ(Run("create x --id 0").code, 4);
  EXPECT_EQ(Run("create .. --type 100").code, 4);
  EXPECT_EQ(Run("create x --display-name 'a|b'").code, 4);
  EXPECT_EQ(Run("put-item tok ../escape").code, 4);
  EXPECT_EQ(Run("show nobody").code, 3);
  EXPECT_EQ(Run("get-item tok nothing").code, 3);
  EXPECT_EQ(Run("").code, 2);
  EXPECT_EQ(Run("frobnicate").code, 2);
  EXPECT_EQ(Run("create").code, 2);
  EXPECT_EQ(Run("create x --type notanumber").code, 2);
}

TEST_F(NodyxAdminToolTest, ItemsAndContainers) {
  ASSERT_EQ(Run("create tok").code, 0);
  std::string payload("bin\0ary\xff", 8);
  const std::string in = WriteFile("in", payload);
  EXPECT_EQ(Run("put-item tok keys --from " + in).code, 0);
  EXPECT_EQ(Run("put-item tok other", in).code, 0);  // from standard input
  Result got = Run("get-item tok keys");
  EXPECT_EQ(got.code, 0);
  EXPECT_EQ(got.out, payload);
  kdp::WipedBytes stored;  // as keydepot save stores it: the length first
  ASSERT_EQ(DeviceStore(store_).ReadItem("tok", "keys", &stored), S_OK);
  EXPECT_EQ(std::string(stored.chars(), stored.size()), std::string("\x08\0\0\0", 4) + payload);
  EXPECT_EQ(Run("put-item tok plain --raw --from " + in).code, 0);
  EXPECT_EQ(Run("get-item tok plain").code, 4);  // not stored with its length
  EXPECT_EQ(Run("get-item tok plain --raw").out, payload);
  EXPECT_EQ(Run("list-items tok").out, "keys\nother\nplain\n");
  EXPECT_EQ(Run("delete-item tok keys").code, 0);
  EXPECT_EQ(Run("delete-item tok keys").code, 3);
  EXPECT_EQ(Run("put-container tok sgn_cont").code, 0);
  EXPECT_EQ(Run("put-container tok sgn_cont").code, 4);
  EXPECT_EQ(Run("list-containers tok").out, "sgn_cont\n");
  EXPECT_EQ(Run("remove-container tok sgn_cont").code, 0);
  EXPECT_EQ(Run("list-containers tok").out, "");
}

TEST_F(NodyxAdminToolTest, WhatItWritesIsTheOwnersOnlyWhateverTheUmask) {
  const std::string in = WriteFile("in", "private key");
  const auto mode = [](const std::string& path) {
    return static_cast<unsigned>(std::filesystem::status(path).permissions());
  };
  for (const mode_t mask : {0000, 0277}) {
    const std::string device = "tok" + std::to_string(mask);
    const std::string out = store_ + "-out" + std::to_string(mask);
    files_.push_back(out);
    const mode_t saved = ::umask(mask);
    const int created = Run("create " + device).code;
    const int put = Run("put-item " + device + " keys --from " + in).code;
    const int got = Run("get-item " + device + " keys --to " + out).code;
    ::umask(saved);
    ASSERT_EQ(created, 0);
    ASSERT_EQ(put, 0);
    ASSERT_EQ(got, 0);
    EXPECT_EQ(mode(store_ + "/" + device), 0700u) << mask;
    EXPECT_EQ(mode(store_ + "/" + device + "/device.json"), 0600u) << mask;
    EXPECT_EQ(mode(store_ + "/" + device + "/items"), 0700u) << mask;
    EXPECT_EQ(mode(store_ + "/" + device + "/items/keys"), 0600u) << mask;
    EXPECT_EQ(mode(out), 0600u) << mask;
  }
}

TEST_F(NodyxAdminToolTest, PinIsStoredOnlyAsAHash) {
  ASSERT_EQ(Run("create tok").code, 0);
  const std::string pinFile = WriteFile("pin", "s3cret-PIN\n");
  EXPECT_EQ(Run("set-pin tok --pin-file " + pinFile).code, 0);
  Result show = Run("show tok");
  EXPECT_NE(show.out.find("PIN:               set"), std::string::npos);
  EXPECT_EQ(show.out.find("s3cret"), std::string::npos);
  std::ifstream description(store_ + "/tok/device.json");
  std::stringstream text;
  text << description.rdbuf();
  EXPECT_EQ(text.str().find("s3cret"), std::string::npos);

  DeviceRecord r;
  ASSERT_EQ(DeviceStore(store_).Load("tok", &r), S_OK);
  ASSERT_TRUE(r.pin);
  EXPECT_TRUE(PinMatches("s3cret-PIN", *r.pin));  // the line end is not part of the PIN
  EXPECT_FALSE(PinMatches("s3cret-PIN\n", *r.pin));

  EXPECT_EQ(Run("set-pin tok", WriteFile("empty", "")).code, 4);
  EXPECT_EQ(Run("clear-pin tok").code, 0);
  ASSERT_EQ(DeviceStore(store_).Load("tok", &r), S_OK);
  EXPECT_FALSE(r.pin);
}

TEST_F(NodyxAdminToolTest, SaysWhyADescriptionMakesItsDeviceUnseen) {
  ASSERT_EQ(Run("create tok --id 01").code, 0);
  std::ofstream(store_ + "/tok/device.json")
      << R"({"format":1,"type":100,"id":"01","displayName":"d","systemName":"s","room":-1})";
  const std::string why = "\"room\" must be an integer from 0 to 4294967295, not -1";
  Result show = Run("show tok", "/dev/null", true);
  EXPECT_EQ(show.code, 5);
  EXPECT_NE(show.out.find("device 'tok': the device description is damaged (" + why + ")"), std::string::npos)
      << show.out;
  Result list = Run("list", "/dev/null", true);
  EXPECT_EQ(list.code, 0);
  EXPECT_EQ(list.out, "nodyx-admin: folder 'tok' is not seen as a device: " + why + "\n");
}

TEST_F(NodyxAdminToolTest, EveryCommandHelpHasAnExample) {
  for (const char* command : {"create", "list", "show", "remove", "attach", "detach", "set-pin", "clear-pin",
                              "put-item", "get-item", "list-items", "delete-item", "put-container",
                              "list-containers", "remove-container"}) {
    Result help = Run(std::string(command) + " --help");
    EXPECT_EQ(help.code, 0) << command;
    EXPECT_NE(help.out.find("Example:\n  nodyx-admin " + std::string(command)), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace nodyx::test
