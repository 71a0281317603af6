// Temporary stores for one test case, and nodyx-admin run against them: the
// device store, the application-data folder and the registry live in one
// folder that is removed at the end. NODYX_ADMIN names the built tool.
#pragma once

#include "kdplatform/environment.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace nodyx::test {

struct ToolRun {
  int code = -1;
  std::string out;
};

class AdminToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("kd-admin-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    store_ = (root_ / "store").string();
    std::filesystem::create_directories(store_);
    std::filesystem::create_directories(root_ / "data");
    kdp::SetEnvironmentValue("NODYX_STORE", store_.c_str());
    kdp::SetEnvironmentValue("KEYDEPOT_COMMON_APPDATA", (root_ / "data").c_str());
    kdp::SetEnvironmentValue("KEYDEPOT_REGISTRY", (root_ / "registry").c_str());
  }
  void TearDown() override {
    kdp::RemoveEnvironmentValue("KEYDEPOT_REGISTRY");
    std::filesystem::remove_all(root_);
  }

  // Runs the tool through the shell (arguments are trusted test text) with
  // standard input from the file `input`. The output is the standard output,
  // with the error output too when `withErrors`.
  static ToolRun Admin(const std::string& arguments, const std::string& input = "/dev/null", bool withErrors = false) {
    const std::string command =
        std::string(NODYX_ADMIN) + " " + arguments + " <" + input + (withErrors ? " 2>&1" : " 2>/dev/null");
    ToolRun result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    const int status = ::pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }

  // A file of this test case, beside the stores.
  std::string File(const std::string& name, const std::string& content) const {
    const std::filesystem::path path = root_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  std::filesystem::path root_;
  std::string store_;
};

}  // namespace nodyx::test
