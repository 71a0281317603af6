// The temporary world a library benchmark runs in: one folder holding the
// software token's store, the application-data folders and the benchmark's
// own files. Construction points NODYX_STORE, KEYDEPOT_COMMON_APPDATA and
// KEYDEPOT_LOCAL_APPDATA into it for the whole process, and sets
// NODYX_PKCS11_MODULES empty; destruction removes
// the folder. Make one in main() before any library call and keep it until
// the last one has returned: the component and the library read those
// variables at call time.
#pragma once

#include <filesystem>

namespace kdbench {

class BenchEnvironment {
 public:
  BenchEnvironment();
  ~BenchEnvironment();
  BenchEnvironment(const BenchEnvironment&) = delete;
  BenchEnvironment& operator=(const BenchEnvironment&) = delete;

  const std::filesystem::path& Root() const noexcept { return root_; }
  // The software token's store (NODYX_STORE).
  std::filesystem::path Store() const { return root_ / "store"; }
  // A folder for the benchmark's own files.
  std::filesystem::path Files() const { return root_ / "files"; }

 private:
  std::filesystem::path root_;
};

}  // namespace kdbench
