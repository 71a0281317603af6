// The store on a shared machine: a device "dev" in the test's store, and a
// file beside the store that only its owner may read, somewhere a link could
// lead.
#pragma once

#include "component_fixture.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace nodyx::test {

class StoreTrustTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    AddDevice("dev", 100, {1, 2});
    secret_ =
        std::filesystem::path(store_).parent_path() / ("secret-" + std::filesystem::path(store_).filename().string());
    std::ofstream(secret_) << "root's secret";
    std::filesystem::permissions(secret_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
  void TearDown() override {
    std::filesystem::remove(secret_);
    if (!elsewhere_.empty()) std::filesystem::remove_all(elsewhere_);
    ComponentTest::TearDown();
  }
  std::string Path(const std::string& relative) const { return store_ + "/" + relative; }
  // What a device manager enumerates now, by system name.
  std::vector<std::string> Seen() {
    std::vector<std::string> names;
    ComPtr<IAD_DeviceMgr> mgr = DeviceMgr();
    for (const auto& device : Devices(mgr.get())) {
      char name[AD_NAME_BUFFER] = {};
      EXPECT_EQ(device->GetSystemName(name), S_OK);
      names.push_back(name);
    }
    return names;
  }
  // Why the device "dev" is not used: the problem its description's load
  // reports, which the store's scan must give for it too.
  std::string WhyDevIsNotUsed() {
    EXPECT_TRUE(Seen().empty());
    DeviceRecord record;
    std::string problem;
    EXPECT_EQ(devices_->Load("dev", &record, &problem), E_ACCESSDENIED);
    std::vector<DeviceStore::Unreadable> unreadable;
    EXPECT_TRUE(devices_->Scan(&unreadable).empty());
    EXPECT_EQ(unreadable.size(), 1u);
    if (!unreadable.empty()) {
      EXPECT_EQ(unreadable[0].problem, problem);
    }
    return problem;
  }

  std::filesystem::path secret_;
  std::string elsewhere_;  // a folder outside the store, when a test made one
};

}  // namespace nodyx::test
