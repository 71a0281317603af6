// Shared set-up for tests against the programmable test component.
#pragma once

#include "testcomponent/control.h"

#include <gtest/gtest.h>
#include <kdplatform/win32.h>
#include <kdtest/environment.h>
#include <kdtest/program.h>
#include <kdtest/temp_folder.h>

#include <filesystem>
#include <string>

namespace keydepot::testing {

// Resets the component, gives each test a fresh temporary folder (on Linux
// also the common application-data folder), and checks after each test
// that every component object the library was handed has been released.
class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tc().Reset();
    tc().AddDeviceType(100, "Token");
    dataFolder_ = temp_.path();
    kdtest::SetEnv("KEYDEPOT_COMMON_APPDATA", temp_.path());
  }
  void TearDown() override {
    if (checkLiveObjects_) {
      EXPECT_EQ(tc().LiveObjects(), 0) << "a component object was not released";
    }
    kdtest::UnsetEnv("KEYDEPOT_COMMON_APPDATA");
  }

  static kdtc::Control& tc() { return kdtc::Control::Get(); }

  // The component the library loads: nodyx beside this program.
  static std::string ComponentPath() {
    return kdtest::ProgramFolder() + KDP_PATH_SEPARATOR + "nodyx" KDP_MODULE_SUFFIX;
  }
  static bool ComponentLoaded() { return kdtest::IsModuleLoaded(ComponentPath()); }

  // A shell folder as the library sees it (the temporary folder on Linux,
  // the system's on Windows).
  static std::string ShellFolder(int id) {
    char folder[MAX_PATH] = {};
    EXPECT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, 0, folder)));
    return folder;
  }
  // `parts` joined below `base` as the library joins them.
  static std::string Join(std::string base, std::initializer_list<const char*> parts) {
    for (const char* part : parts) base = base + KDP_PATH_SEPARATOR + part;
    return base;
  }

  kdtest::TempFolder temp_;
  std::filesystem::path dataFolder_;
  bool checkLiveObjects_ = true;
};

}  // namespace keydepot::testing
