// Shared set-up for tests against the programmable test component.
#pragma once

#include "testcomponent/control.h"
#include "kdplatform/environment.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace keydepot::testing {

// Resets the component, points the shared data folder at a fresh temporary
// folder, and checks after each test that every component object the library
// was handed has been released.
class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tc().Reset();
    tc().AddDeviceType(100, "Token");
    dataFolder_ = std::filesystem::temp_directory_path() /
                  ("kd-ad-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dataFolder_);
    kdp::SetEnvironmentValue("KEYDEPOT_COMMON_APPDATA", dataFolder_.c_str());
  }
  void TearDown() override {
    if (checkLiveObjects_) {
      EXPECT_EQ(tc().LiveObjects(), 0) << "a component object was not released";
    }
    std::filesystem::remove_all(dataFolder_);
  }

  static kdtc::Control& tc() { return kdtc::Control::Get(); }

  // The component the library loads: nodyx.so next to this program.
  static std::string ComponentPath() {
    return (std::filesystem::canonical("/proc/self/exe").parent_path() / "nodyx.so").string();
  }
  static bool ComponentLoaded() {
    void* h = dlopen(ComponentPath().c_str(), RTLD_NOLOAD | RTLD_LAZY);
    if (!h) return false;
    dlclose(h);
    return true;
  }

  std::filesystem::path dataFolder_;
  bool checkLiveObjects_ = true;
};

}  // namespace keydepot::testing
