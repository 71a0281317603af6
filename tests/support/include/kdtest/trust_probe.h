// Whether kdp::CheckTrusted is in force on this build: tests of code that
// asks it (and skips what it does not vouch for) skip themselves where the
// check does not yet refuse anything.
#pragma once

#include "kdplatform/win32.h"

#include "kdtest/temp_folder.h"

#include "kdplatform/trust.h"

#include <filesystem>
#include <fstream>

namespace kdtest {

// True when the check refuses a file that every user may write.
inline bool TrustCheckInForce() {
  const TempFolder folder;
  const std::string path = folder / "probe";
  std::ofstream(path) << "probe";
  std::error_code error;
  std::filesystem::permissions(path, std::filesystem::perms::others_write, std::filesystem::perm_options::add, error);
  return !error && kdp::CheckTrusted(path) == ERROR_ACCESS_DENIED;
}

}  // namespace kdtest
