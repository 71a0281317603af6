#include "kdtest/registry.h"

#include <kdplatform/win32.h>

namespace kdtest {
namespace {

// The view the toolkit's registry uses (tools2/src/windows/registry.cc).
constexpr REGSAM kView = KEY_WOW64_32KEY;

void DeleteTree(const std::string& keyPath) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_ALL_ACCESS | kView, &key) != ERROR_SUCCESS) return;
  RegDeleteTreeA(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), kView, 0);
}

}  // namespace

TestRegistry::TestRegistry() : root_("SOFTWARE\\keydepot-tests\\" + UniqueName("test")) { forget_.push_back(root_); }

TestRegistry::~TestRegistry() {
  for (const std::string& key : forget_) DeleteTree(key);
}

std::string TestRegistry::Key(const std::string& relative) const { return root_ + "\\" + relative; }

void TestRegistry::Forget(const std::string& keyPath) { forget_.push_back(keyPath); }

}  // namespace kdtest
