#include "kdtest/drives.h"

#include "kdtest/environment.h"

#include <map>

namespace kdtest {
namespace {

std::map<char, std::string>& Entries() {
  static std::map<char, std::string> entries;
  return entries;
}

void Publish() {
  std::string map;
  for (const auto& [letter, entry] : Entries()) map += std::string(1, letter) + "=" + entry + ";";
  SetEnv("KEYDEPOT_DRIVES", map);
}

}  // namespace

std::string FixedDrive(char letter, const std::string& folder) {
  Entries()[letter] = folder;
  Publish();
  return std::string(1, letter) + ":";
}

void RemovableDrive(char letter, const std::string& folder) {
  Entries()[letter] = folder + ",removable";
  Publish();
}

void ResetDrives() {
  Entries().clear();
  UnsetEnv("KEYDEPOT_DRIVES");
}

std::string BuildMachinePath(const std::string& path) { return path; }

}  // namespace kdtest
