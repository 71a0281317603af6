// A fresh folder for one test, mapped as drive K: through KEYDEPOT_DRIVES and
// removed with everything in it when the test ends.
#pragma once

#include "kdplatform/environment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tools2-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ASSERT_TRUE(kdp::SetEnvironmentValue("KEYDEPOT_DRIVES", ("K=" + root_).c_str()));
  }

  void TearDown() override {
    kdp::RemoveEnvironmentValue("KEYDEPOT_DRIVES");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // The Linux path of `relative` inside the folder.
  std::string Native(const std::string& relative) const { return root_ + "/" + relative; }

  void MakeFile(const std::string& relative, const std::string& content) const {
    std::ofstream(Native(relative), std::ios::binary) << content;
  }

  std::string root_;
};
