// kdtest::TempFolder: a new folder in the system's temporary folder for one
// test, removed with everything in it (read-only entries too) when the
// object dies.
#pragma once

#include <string>

namespace kdtest {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, a native path without a trailing separator.
  const std::string& path() const { return path_; }
  // `relative` inside the folder, written with the system's separator.
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// A name no other test process uses at the same time, for things that are
// shared by the whole system (registry keys, the common data folder).
std::string UniqueName(const std::string& prefix);

}  // namespace kdtest
