// A registry of its own for one test. On Linux: a store in a temporary
// folder (KEYDEPOT_REGISTRY), so key paths are used as they are. On Windows:
// the system's registry, shared by every process, so keys go below a key of
// the test's own under HKEY_LOCAL_MACHINE\SOFTWARE\keydepot-tests (Key), and
// keys the code under test names itself (a saved PIN's) are given to
// Forget; everything is deleted when the object dies.
//
// The tests of one program run one at a time: the Linux side of LockOut
// changes the whole process.
#pragma once

#include "kdtest/temp_folder.h"

#include <string>
#include <vector>

namespace kdtest {

class TestRegistry {
 public:
  TestRegistry();
  ~TestRegistry();
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  // The key path of `relative` in this test's part of the registry.
  std::string Key(const std::string& relative) const;
  // Deletes `keyPath` (a full path under HKEY_LOCAL_MACHINE) and what lies
  // below it now, if an earlier test left it, and when the object dies.
  void Forget(const std::string& keyPath);

  // Until LetIn, the calling user may not open `keyPath`, an existing key:
  // on Windows its access list lets SYSTEM alone in (Wine checks such a
  // list while its server runs); on Linux the whole store is closed to the
  // caller (root, who passes every permission check, gives up its
  // effective identity to the other user, kdtest/other_user.h). True on
  // success.
  bool LockOut(const std::string& keyPath);
  bool LetIn(const std::string& keyPath);

 private:
  TempFolder folder_;
  std::string root_;
  std::vector<std::string> forget_;
};

}  // namespace kdtest
