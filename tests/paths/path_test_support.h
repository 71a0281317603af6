// A component test with drives: C: a fixed drive whose root holds Keys\, E:
// a removable one (kdtest/drives.h); the local application-data folder moved
// into the test's folder on Linux.
#pragma once

#include "keydepot/storage.h"
#include "keydepot/storage_path.h"
#include "test_support.h"

#include <kdtest/drives.h>

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
    c_ = kdtest::FixedDrive('C', (drives_ / "c").string());
    kdtest::RemovableDrive('E', (drives_ / "e").string());
    kdtest::SetEnv("KEYDEPOT_LOCAL_APPDATA", (dataFolder_ / "local").string());
    tc().AddDeviceType(200, "Crypto");
  }
  void TearDown() override {
    kdtest::ResetDrives();
    kdtest::UnsetEnv("KEYDEPOT_LOCAL_APPDATA");
    ComponentTest::TearDown();
  }

  void Touch(const std::filesystem::path& file) { std::ofstream(file) << "x"; }

  std::filesystem::path drives_;
  // How a path on C: begins ("C:" on Linux; on Windows the folder's own
  // path): c_ + "\\Keys" is the Keys folder.
  std::string c_;
};

}  // namespace keydepot::testing
