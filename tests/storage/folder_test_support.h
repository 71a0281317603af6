// The folder back-end's tests: items on drive C: (path_test_support.h).
#pragma once

#include "kdplatform/testing.h"
#include "path_test_support.h"

#include <fstream>
#include <iterator>
#include <string>

namespace keydepot::testing {

class FolderStorageTest : public PathTest {
 protected:
  void TearDown() override {
    kdp::testing::ResetFreeDiskSpace();
    kdp::testing::ResetFileFaults();
    PathTest::TearDown();
  }
  static CertInfo Record(const std::string& path, IdentObj* data) {
    CertInfo record;
    record.path = path;
    record.data = data;
    return record;
  }
  static std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The file-system path of `rest` ('/'-separated) on drive C:.
  std::filesystem::path C(const std::string& rest) const { return drives_ / "c" / rest; }
  // The storage path of `rest` ('\'-separated) on drive C:.
  std::string P(const std::string& rest) const { return c_ + "\\" + rest; }
  static std::size_t Entries(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
  }
};

}  // namespace keydepot::testing
