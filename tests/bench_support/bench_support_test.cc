// The benchmarks measure nothing if the devices they write are not the ones
// the library sees; these cases check that through the public API.
#include "bench_environment.h"
#include "loader_events.h"
#include "soft_token_store.h"

#include <keydepot/keydepot.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <list>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

TEST(BenchSupportEnvironment, PointsTheVariablesIntoOneFolderAndRemovesItWhole) {
  fs::path root;
  {
    kdbench::BenchEnvironment environment;
    kdbench::BenchEnvironment other;
    root = environment.Root();
    EXPECT_NE(root, other.Root());
    EXPECT_EQ(Env("NODYX_STORE"), (other.Root() / "store").string());  // the later one wins
    EXPECT_EQ(fs::path(Env("KEYDEPOT_COMMON_APPDATA")).parent_path(), other.Root());
    EXPECT_EQ(fs::path(Env("KEYDEPOT_LOCAL_APPDATA")).parent_path(), other.Root());
    EXPECT_TRUE(fs::is_directory(environment.Store()));

    kdbench::SoftTokenStore(environment.Store()).CreateDevice({"token", 100, "0A0B", false});
    ASSERT_TRUE(fs::exists(environment.Store() / "token" / "device.json"));
  }
  EXPECT_FALSE(fs::exists(root));
}

class BenchSupportStore : public ::testing::Test {
 protected:
  void TearDown() override {
    if (session_ != 0) keydepot::ad::CloseSession(session_);
  }
  DWORD OpenSession() {
    session_ = keydepot::ad::OpenSilentSession(nullptr);
    return session_;
  }

  kdbench::BenchEnvironment environment_;
  kdbench::SoftTokenStore store_{environment_.Store()};
  DWORD session_ = 0;
};

TEST_F(BenchSupportStore, TheLocationOfADeviceListsItsItemsAndNothingOfTheOtherDevices) {
  const kdbench::SoftDevice items{"items", 100, "1E01", false};
  const kdbench::SoftDevice crypto{"crypto", 100, "C001", true};
  store_.CreateDevice(items);
  store_.CreateDevice(crypto);
  for (const char* name : {"a", "b", "c"}) store_.AddItem(items, name, 16);
  for (const char* name : {"x", "y"}) store_.AddContainer(crypto, name);

  ASSERT_NE(OpenSession(), 0u);
  std::list<std::string> names;
  EXPECT_GE(keydepot::ad::GetADContainerNames(session_, kdbench::DeviceLocation("SoftToken", items).c_str(), names,
                                              false, true),
            0);
  EXPECT_EQ(names, (std::list<std::string>{"a", "b", "c"}));

  names.clear();
  EXPECT_GE(keydepot::ad::GetADContainerNames(session_, kdbench::DeviceLocation("SoftToken", crypto).c_str(), names,
                                              true, true),
            0);
  EXPECT_EQ(names, (std::list<std::string>{kdbench::DevicePath(crypto, "x"), kdbench::DevicePath(crypto, "y")}));
}

// The PIN benchmarks compare Loads that the PIN lets through.
TEST_F(BenchSupportStore, ADeviceWithAPinOpensItsItemsToThatPinOnly) {
  const kdbench::SoftDevice device{"pinned", 100, "5EC0", false, "2468"};
  store_.CreateDevice(device);
  ASSERT_NE(OpenSession(), 0u);
  const std::vector<std::uint8_t> bytes(64, 0x42);
  IdentObj saved(bytes.data(), static_cast<DWORD>(bytes.size()));
  keydepot::CertInfo record;
  record.path = kdbench::DevicePath(device, "item");
  record.session = session_;
  record.pin = &device.pin;
  record.data = &saved;
  ASSERT_TRUE(keydepot::Save(&record));

  IdentObj loaded;
  record.data = &loaded;
  EXPECT_TRUE(keydepot::Load(&record));
  EXPECT_TRUE(loaded == saved);
  record.pin = nullptr;
  EXPECT_FALSE(keydepot::Load(&record));
  const std::string wrong = "2469";
  record.pin = &wrong;
  EXPECT_FALSE(keydepot::Load(&record));
}

TEST(BenchSupportLoader, SeesTheComponentMappedByTheFirstDevicePath) {
  if (!kdbench::MappedModulePath("nodyx.so").empty()) GTEST_SKIP() << "needs a process of its own (ctest runs it so)";
  const kdbench::LoaderEvents before = kdbench::ReadLoaderEvents();

  std::string path;
  ASSERT_GE(keydepot::ad::MakeADPath(static_cast<EAD_DeviceType>(100), {0x0A}, "c", path), 0);

  EXPECT_GT(kdbench::ReadLoaderEvents().loads, before.loads);
  const std::string mapped = kdbench::MappedModulePath("nodyx.so");
  ASSERT_EQ(fs::path(mapped).filename(), "nodyx.so");
  EXPECT_TRUE(fs::equivalent(fs::path(mapped).parent_path(),
                             fs::path(kdbench::MappedModulePath("libkeydepot.so.0")).parent_path()));
}

}  // namespace
