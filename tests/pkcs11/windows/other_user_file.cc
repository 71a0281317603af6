#include "other_user_file.h"

#include "kdtest/wine_host.h"

#include <fstream>

namespace keydepot {

bool WriteAsOtherUser(const std::string& path, const std::string& text, std::string* skip) {
  if (!kdtest::HostCanGiveAway()) {
    *skip = "making another user's file needs Wine run as root";
    return false;
  }
  std::ofstream(path) << text;
  return kdtest::GiveToOtherHostUser(path);
}

}  // namespace keydepot
