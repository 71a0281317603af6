#include "kdtest/registry.h"

#include "kdtest/environment.h"
#include "kdtest/other_user.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kdtest {

TestRegistry::TestRegistry() { SetEnv("KEYDEPOT_REGISTRY", folder_ / "store"); }

TestRegistry::~TestRegistry() { UnsetEnv("KEYDEPOT_REGISTRY"); }

std::string TestRegistry::Key(const std::string& relative) const { return relative; }

void TestRegistry::Forget(const std::string&) {}  // the store goes with its folder

bool TestRegistry::LockOut(const std::string&) {
  if (::geteuid() == 0) return ::seteuid(kOtherUser) == 0;
  return ::chmod((folder_ / "store").c_str(), 0) == 0;
}

bool TestRegistry::LetIn(const std::string&) {
  if (::getuid() == 0 && ::geteuid() != 0) return ::seteuid(0) == 0;
  return ::chmod((folder_ / "store").c_str(), 0700) == 0;
}

}  // namespace kdtest
