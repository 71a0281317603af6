// A component test with drive letters mapped to temporary folders: C: fixed,
// E: removable.
#pragma once

#include "kdplatform/environment.h"
#include "keydepot/storage.h"
#include "keydepot/storage_path.h"
#include "test_support.h"

#include <fstream>

namespace keydepot::testing {

class PathTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    drives_ = dataFolder_ / "drives";
    std::filesystem::create_directories(drives_ / "c" / "Keys");
    std::filesystem::create_directories(drives_ / "e");
    std::filesystem::create_directories(dataFolder_ / "local");
    const std::string map = "C=" + (drives_ / "c").string() + ";E=" + (drives_ / "e").string() + ",removable";
    kdp::SetEnvironmentValue("KEYDEPOT_DRIVES", map.c_str());
    kdp::SetEnvironmentValue("KEYDEPOT_LOCAL_APPDATA", (dataFolder_ / "local").c_str());
    tc().AddDeviceType(200, "Crypto");
  }
  void TearDown() override {
    kdp::RemoveEnvironmentValue("KEYDEPOT_DRIVES");
    ComponentTest::TearDown();
  }

  void Touch(const std::filesystem::path& file) { std::ofstream(file) << "x"; }

  std::filesystem::path drives_;
};

}  // namespace keydepot::testing
