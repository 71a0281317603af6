#include "bench_environment.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

namespace kdbench {

BenchEnvironment::BenchEnvironment() {
  std::string pattern = (std::filesystem::temp_directory_path() / "keydepot-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  root_ = pattern;

  for (const char* sub : {"store", "files", "common", "local"}) std::filesystem::create_directory(root_ / sub);
  ::setenv("NODYX_STORE", Store().c_str(), 1);
  ::setenv("KEYDEPOT_COMMON_APPDATA", (root_ / "common").c_str(), 1);
  ::setenv("KEYDEPOT_LOCAL_APPDATA", (root_ / "local").c_str(), 1);
  // No PKCS#11 module this machine registers; a benchmark of tokens names its own.
  ::setenv("NODYX_PKCS11_MODULES", "", 1);
}

BenchEnvironment::~BenchEnvironment() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

}  // namespace kdbench
