#include "kdtest/registry.h"

#include "kdtest/environment.h"

namespace kdtest {

TestRegistry::TestRegistry() { SetEnv("KEYDEPOT_REGISTRY", folder_ / "store"); }

TestRegistry::~TestRegistry() { UnsetEnv("KEYDEPOT_REGISTRY"); }

std::string TestRegistry::Key(const std::string& relative) const { return relative; }

void TestRegistry::Forget(const std::string&) {}  // the store goes with its folder

}  // namespace kdtest
