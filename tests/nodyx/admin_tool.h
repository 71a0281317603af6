// Temporary stores for one test case, and nodyx-admin run against them: the
// device store and the application-data folder live in one folder that is
// removed at the end, the registry is the test's own (kdtest::TestRegistry).
// NODYX_ADMIN names the built tool.
#pragma once

#include "kdplatform/environment.h"

#include <gtest/gtest.h>
#include <kdtest/drives.h>
#include <kdtest/process.h>
#include <kdtest/registry.h>
#include <kdtest/temp_folder.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace nodyx::test {

using ToolRun = kdtest::ProcessResult;

class AdminToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(store_);
    std::filesystem::create_directories(root_ / "data");
    kdp::SetEnvironmentValue("NODYX_STORE", store_.c_str());
    kdp::SetEnvironmentValue("KEYDEPOT_COMMON_APPDATA", (root_ / "data").string().c_str());
  }

  // Runs the tool with `input` as all of its standard input. Its lines end
  // in "\n" here on every system (the C run-time's text mode writes "\r\n"
  // on Windows).
  static ToolRun Admin(const std::vector<std::string>& arguments, const std::string& input = {}) {
    kdtest::ProcessOptions options;
    options.input = input;
    ToolRun run = kdtest::RunProcess(kdtest::BuildMachinePath(NODYX_ADMIN), arguments, options);
    for (std::string* text : {&run.out, &run.err}) {
      for (std::size_t at = 0; (at = text->find("\r\n", at)) != std::string::npos;) text->erase(at, 1);
    }
    return run;
  }

  // A file of this test case, beside the stores.
  std::string File(const std::string& name, const std::string& content) const {
    const std::filesystem::path path = root_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  kdtest::TempFolder temp_;
  kdtest::TestRegistry registry_;
  std::filesystem::path root_{temp_.path()};
  std::string store_{temp_ / "store"};
};

}  // namespace nodyx::test
