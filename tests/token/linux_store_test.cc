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

TEST(LinuxStoreTest, DeviceItemAndPinRead) {
  const kdtest::TempFolder temp;
  const fs::path store = fs::path(temp.path()) / "store";
  fs::copy(KEYDEPOT_LINUX_STORE, store, fs::copy_options::recursive);
  const kdtest::ScopedEnv storeVariable("NODYX_STORE", store.string());
  const kdtest::ScopedEnv dataVariable("KEYDEPOT_COMMON_APPDATA", temp.path());
  const DWORD session = ad::OpenSilentSession(nullptr);
  ASSERT_NE(session, 0u);
  IdentObj loaded;
  CertInfo record;
  record.path = "1|2\\5|100\\17|4C1E0001\\8|greeting";
  record.data = &loaded;
  record.session = session;
  const std::string wrong = "1111";
  record.pin = &wrong;
  EXPECT_FALSE(Load(&record));
  const std::string right = "2468";
  record.pin = &right;
  EXPECT_TRUE(Load(&record)) << KDPGetLastError();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(loaded.pbData), loaded.cbData), "made on Linux\n");
  EXPECT_EQ(std::string(GetStorageName(record.path.c_str())), "Made on Linux");
  ad::CloseSession(session);
}

}  // namespace
}  // namespace keydepot
