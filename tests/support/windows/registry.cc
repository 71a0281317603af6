#include "kdtest/registry.h"

#include <kdplatform/win32.h>

#include <sddl.h>

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

// Sets the DACL of `keyPath` (SDDL); its other parts stay.
bool SetKeyAccessList(const std::string& keyPath, const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
  HKEY key = nullptr;
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, WRITE_DAC | kView, &key);
  if (error == ERROR_SUCCESS) {
    error = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    RegCloseKey(key);
  }
  LocalFree(descriptor);
  return error == ERROR_SUCCESS;
}

}  // namespace

TestRegistry::TestRegistry() : root_("SOFTWARE\\keydepot-tests\\" + UniqueName("test")) { forget_.push_back(root_); }

TestRegistry::~TestRegistry() {
  for (const std::string& key : forget_) DeleteTree(key);
}

std::string TestRegistry::Key(const std::string& relative) const { return root_ + "\\" + relative; }

void TestRegistry::Forget(const std::string& keyPath) {
  DeleteTree(keyPath);
  forget_.push_back(keyPath);
}

// The key's owner (this user) may still change its list.
bool TestRegistry::LockOut(const std::string& keyPath) { return SetKeyAccessList(keyPath, "D:P(A;;KA;;;SY)"); }

bool TestRegistry::LetIn(const std::string& keyPath) {
  return SetKeyAccessList(keyPath, "D:P(A;;KA;;;SY)(A;;KA;;;BA)(A;;KA;;;OW)");
}

}  // namespace kdtest
