// What the tests on SoftHSM2 tokens share: two tokens made with
// softhsm2-util in a temporary SOFTHSM2_CONF for each test ("Token A", PIN
// 2468; "Token B", PIN 1357), found by the component through
// NODYX_PKCS11_MODULES.
#pragma once

#include "token_fixture.h"

#include "kdplatform/environment.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace keydepot {

namespace fs = std::filesystem;

class SoftHsmTest : public TokenFixture {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kd-pkcs11-" + std::to_string(::getpid()));
    fs::create_directories(root_ / "tokens");
    std::ofstream(root_ / "softhsm2.conf") << "directories.tokendir = " << (root_ / "tokens").string()
                                           << "\nobjectstore.backend = file\nlog.level = ERROR\n";
    kdp::SetEnvironmentValue("SOFTHSM2_CONF", (root_ / "softhsm2.conf").c_str());
    kdp::SetEnvironmentValue("NODYX_STORE", (root_ / "store").c_str());
    kdp::SetEnvironmentValue("KEYDEPOT_COMMON_APPDATA", (root_ / "data").c_str());
    kdp::SetEnvironmentValue("KEYDEPOT_REGISTRY", (root_ / "registry").c_str());
    kdp::SetEnvironmentValue("NODYX_PKCS11_MODULES", SOFTHSM2_MODULE);
    Run(std::string(SOFTHSM2_UTIL) + " --init-token --free --label 'Token A' --so-pin 0000 --pin 2468");
    Run(std::string(SOFTHSM2_UTIL) + " --init-token --free --label 'Token B' --so-pin 0000 --pin 1357");
  }
  void TearDown() override {
    TokenFixture::TearDown();
    fs::remove_all(root_);
  }

  static void Run(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null").c_str()), 0) << command;
  }

  fs::path root_;
};

}  // namespace keydepot
