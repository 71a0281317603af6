// A fresh folder for one test as the root of drive K: (kdtest/drives.h),
// removed with everything in it when the test ends.
#pragma once

#include <kdtest/drives.h>
#include <kdtest/temp_folder.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.path();
    k_ = kdtest::FixedDrive('K', root_);
  }
  void TearDown() override { kdtest::ResetDrives(); }

  // The file-system path of `relative` ('/'-separated) inside the folder.
  std::string Native(const std::string& relative) const { return root_ + "/" + relative; }
  // The path of `relative` ('\'-separated) on drive K:.
  std::string K(const std::string& relative) const { return k_ + "\\" + relative; }

  void MakeFile(const std::string& relative, const std::string& content) const {
    std::ofstream(Native(relative), std::ios::binary) << content;
  }

  kdtest::TempFolder temp_;
  std::string root_;
  std::string k_;
};
