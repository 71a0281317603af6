#include "other_user_file.h"

#include "kdplatform/win32.h"
#include "kdtest/other_user.h"
#include "kdtest/trust_probe.h"

#include <filesystem>
#include <fstream>

namespace keydepot {

namespace fs = std::filesystem;

bool WriteAsOtherUser(const std::string& path, const std::string& text, std::string* skip) {
  if (!kdtest::CanBecomeOtherUser()) {
    *skip = "needs root, to write the file as another user";
    return false;
  }
  if (!kdtest::TrustCheckInForce()) {
    *skip = "kdp::CheckTrusted refuses nothing yet";
    return false;
  }
  // A shared folder made under umask 0, which the other user reaches.
  const fs::path folder = fs::path(path).parent_path();
  fs::permissions(folder, fs::perms::all);
  for (fs::path above = folder.parent_path(); above != above.root_path(); above = above.parent_path()) {
    fs::permissions(above, fs::perms::others_exec, fs::perm_options::add);
  }
  return kdtest::RunAsOtherUser([&] { std::ofstream(path) << text; });
}

}  // namespace keydepot
