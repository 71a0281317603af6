// Windows tests: what the code under test asks of the system when it creates
// files, folders, registry keys and mutexes, and how it loads modules.
// Stand-ins put in a module's import table (kdp::testing::RedirectImport)
// record each call (the security descriptor passed, as SDDL, or the load
// flags) and then make it. The test program itself holds the library's and
// the platform layer's code; DLLs such as tools2.dll are given by handle.
//
// Recording is process-wide and for one log at a time; the imports stay
// redirected afterwards and pass every call through.
#pragma once

#include <kdplatform/security.h>

#include <aclapi.h>

#include <string>
#include <vector>

namespace kdtest {

struct SystemCall {
  std::string function;  // "CreateFileA", "CreateDirectoryA", "RegCreateKeyExA", "CreateMutexA", "LoadLibraryExA"
  std::string name;      // the path, key name (relative to the key given) or mutex name
  std::string sddl;      // the DACL passed, as SDDL; "" for none
  // CreateMutexA: the DACL the mutex has, read back through the handle
  // made ("" when the call failed). Wine keeps what a named object is made
  // with, unlike a registry key's (docs/windows.md).
  std::string kept;
  DWORD flags = 0;  // CreateFileA: the disposition; LoadLibraryExA: the flags
};

class CreationLog {
 public:
  // Starts recording the calls `module` (null: the test program) makes.
  explicit CreationLog(HMODULE module = nullptr);
  ~CreationLog();
  CreationLog(const CreationLog&) = delete;
  CreationLog& operator=(const CreationLog&) = delete;

  // The calls recorded so far, oldest first; recording goes on.
  std::vector<SystemCall> Calls() const;
  // Those of one function.
  std::vector<SystemCall> Calls(const std::string& function) const;
};

// The DACL of `role` for `object` and the caller, as SDDL written back by the
// system, so that it compares with what a log records.
std::string ExpectedSddl(kdp::SecurityRole role, kdp::SecuredObject object);

// The DACL of a descriptor as SDDL ("" for none).
std::string DaclText(PSECURITY_DESCRIPTOR descriptor);

// What the owner and DACL of `path` let users other than the caller, SYSTEM
// and Administrators do, as the system tells it now (a test failure, and
// "no access list", when it cannot be read).
kdp::Exposure FileExposure(const std::string& path);

// Gives the file or folder `path` a protected DACL: the owner-only entries
// for the caller, then `extra` (SDDL entries, "(A;OICI;FRFX;;;WD)"). Wine
// keeps it as the host's mode bits (docs/windows.md). True on success.
bool SetAccessList(const std::string& path, const std::string& extra);

}  // namespace kdtest
