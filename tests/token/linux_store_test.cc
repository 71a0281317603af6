// A software-token store that nodyx-admin and keydepot made on Linux
// (linux-store/: a device with a PIN and one item) reads on every system:
// the device description, the PIN hash and the item file have one format.
#include "keydepot/keydepot.h"

#include <gtest/gtest.h>
#include <kdtest/environment.h>
#include <kdtest/temp_folder.h>

#include <filesystem>
#include <string>

namespace keydepot {
namespace {

namespace fs = std::filesystem;

// A copy of the store, the component's data folders beside it, and a
// session on it.
class LinuxStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy(KEYDEPOT_LINUX_STORE, store_, fs::copy_options::recursive);
    session_ = ad::OpenSilentSession(nullptr);
    ASSERT_NE(session_, 0u);
  }
  void TearDown() override {
    if (session_ != 0) ad::CloseSession(session_);
  }

  const kdtest::TempFolder temp_;
  const fs::path store_ = fs::path(temp_.path()) / "store";
  const kdtest::ScopedEnv storeVariable_{"NODYX_STORE", store_.string()};
  const kdtest::ScopedEnv dataVariable_{"KEYDEPOT_COMMON_APPDATA", temp_.path()};
  DWORD session_ = 0;
};

TEST_F(LinuxStoreTest, DeviceItemAndPinRead) {
  IdentObj loaded;
  CertInfo record;
  record.path = "1|2\\5|100\\17|4C1E0001\\8|greeting";
  record.data = &loaded;
  record.session = session_;
  const std::string wrong = "1111";
  record.pin = &wrong;
  EXPECT_FALSE(Load(&record));
  const std::string right = "2468";
  record.pin = &right;
  EXPECT_TRUE(Load(&record)) << KDPGetLastError();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(loaded.pbData), loaded.cbData), "made on Linux\n");
  EXPECT_EQ(std::string(GetStorageName(record.path.c_str())), "Made on Linux");
}

}  // namespace
}  // namespace keydepot
