#include "kdtest/creation_log.h"

#include <kdplatform/import_redirect.h>
#include <kdplatform/win32.h>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace kdtest {
namespace {

using CreateFileFunction = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using CreateDirectoryFunction = BOOL(WINAPI*)(LPCSTR, LPSECURITY_ATTRIBUTES);
using RegCreateKeyFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                           LPDWORD);
using CreateMutexFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR);
using LoadLibraryFunction = HMODULE(WINAPI*)(LPCSTR, HANDLE, DWORD);

struct State {
  std::mutex mutex;
  bool recording = false;
  std::vector<SystemCall> calls;
  CreateFileFunction createFile = nullptr;
  CreateDirectoryFunction createDirectory = nullptr;
  RegCreateKeyFunction regCreateKey = nullptr;
  CreateMutexFunction createMutex = nullptr;
  LoadLibraryFunction loadLibrary = nullptr;
};

State& Log() {
  static State* const state = new State;
  return *state;
}

std::string Sddl(const SECURITY_ATTRIBUTES* attributes) {
  return attributes && attributes->lpSecurityDescriptor ? DaclText(attributes->lpSecurityDescriptor) : std::string();
}

void Record(const char* function, const char* name, std::string sddl, DWORD flags, std::string kept) {
  State& log = Log();
  const std::lock_guard<std::mutex> lock(log.mutex);
  if (log.recording) log.calls.push_back({function, name ? name : "", std::move(sddl), std::move(kept), flags});
}

// The DACL of an object made, through its handle.
std::string Kept(HANDLE handle, SE_OBJECT_TYPE type) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, type, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr, &descriptor) != 0) {
    return "(unreadable)";
  }
  std::string sddl = DaclText(descriptor);
  LocalFree(descriptor);
  return sddl;
}

// The stand-ins give the caller the system's answer and last error (a
// record made before the call leaves it alone).
HANDLE WINAPI CreateFileStandIn(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes,
                                DWORD disposition, DWORD flags, HANDLE model) {
  Record("CreateFileA", name, Sddl(attributes), disposition, std::string());
  return Log().createFile(name, access, share, attributes, disposition, flags, model);
}

BOOL WINAPI CreateDirectoryStandIn(LPCSTR name, LPSECURITY_ATTRIBUTES attributes) {
  Record("CreateDirectoryA", name, Sddl(attributes), 0, std::string());
  return Log().createDirectory(name, attributes);
}

LONG WINAPI RegCreateKeyStandIn(HKEY key, LPCSTR name, DWORD reserved, LPSTR className, DWORD options, REGSAM rights,
                                LPSECURITY_ATTRIBUTES attributes, PHKEY opened, LPDWORD disposition) {
  Record("RegCreateKeyExA", name, Sddl(attributes), 0, std::string());
  return Log().regCreateKey(key, name, reserved, className, options, rights, attributes, opened, disposition);
}

// A mutex's list is read back: Wine keeps what named objects are made with.
HANDLE WINAPI CreateMutexStandIn(LPSECURITY_ATTRIBUTES attributes, BOOL owned, LPCSTR name) {
  const HANDLE made = Log().createMutex(attributes, owned, name);
  const DWORD error = GetLastError();
  Record("CreateMutexA", name, Sddl(attributes), 0, made ? Kept(made, SE_KERNEL_OBJECT) : std::string());
  SetLastError(error);
  return made;
}

HMODULE WINAPI LoadLibraryStandIn(LPCSTR name, HANDLE file, DWORD flags) {
  Record("LoadLibraryExA", name, std::string(), flags, std::string());
  return Log().loadLibrary(name, file, flags);
}

// Points `function`'s import at `standIn`, keeping the system's function
// the first time (a module redirected before gives back the stand-in).
template <class Function>
void Redirect(HMODULE module, const char* function, Function standIn, Function* original) {
  const auto before =
      kdp::ProcAs<Function>(kdp::testing::RedirectImport(function, kdp::ProcAs<FARPROC>(standIn), module));
  if (before != nullptr && before != standIn && *original == nullptr) *original = before;
}

}  // namespace

CreationLog::CreationLog(HMODULE module) {
  State& log = Log();
  {
    const std::lock_guard<std::mutex> lock(log.mutex);
    log.calls.clear();
  }
  Redirect<CreateFileFunction>(module, "CreateFileA", &CreateFileStandIn, &log.createFile);
  Redirect<CreateDirectoryFunction>(module, "CreateDirectoryA", &CreateDirectoryStandIn, &log.createDirectory);
  Redirect<RegCreateKeyFunction>(module, "RegCreateKeyExA", &RegCreateKeyStandIn, &log.regCreateKey);
  Redirect<CreateMutexFunction>(module, "CreateMutexA", &CreateMutexStandIn, &log.createMutex);
  Redirect<LoadLibraryFunction>(module, "LoadLibraryExA", &LoadLibraryStandIn, &log.loadLibrary);
  const std::lock_guard<std::mutex> lock(log.mutex);
  log.recording = true;
}

CreationLog::~CreationLog() {
  State& log = Log();
  const std::lock_guard<std::mutex> lock(log.mutex);
  log.recording = false;
  log.calls.clear();
}

std::vector<SystemCall> CreationLog::Calls() const {
  State& log = Log();
  const std::lock_guard<std::mutex> lock(log.mutex);
  return log.calls;
}

std::vector<SystemCall> CreationLog::Calls(const std::string& function) const {
  std::vector<SystemCall> calls;
  for (SystemCall& call : Calls()) {
    if (call.function == function) calls.push_back(std::move(call));
  }
  return calls;
}

std::string DaclText(PSECURITY_DESCRIPTOR descriptor) {
  char* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                            &text, nullptr)) {
    return "(unreadable)";
  }
  std::string sddl = text;
  LocalFree(text);
  return sddl;
}

std::string ExpectedSddl(kdp::SecurityRole role, kdp::SecuredObject object) {
  const std::string text = kdp::SecurityDescriptorText(role, object, kdp::CallerSidText());
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return "(invalid: " + text + ")";
  }
  std::string sddl = DaclText(descriptor);
  LocalFree(descriptor);
  return sddl;
}

kdp::Exposure FileExposure(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  kdp::Exposure exposure;
  exposure.noAccessList = true;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, nullptr, nullptr, &descriptor) != 0) {
    ADD_FAILURE() << "no descriptor of " << path;
    return exposure;
  }
  const kdp::SidFromText caller(kdp::CallerSidText());
  exposure = kdp::ExposureOf(descriptor, caller.get());
  LocalFree(descriptor);
  return exposure;
}

bool SetAccessList(const std::string& path, const std::string& extra) {
  const std::string sddl =
      kdp::SecurityDescriptorText(kdp::SecurityRole::kOwnerOnly, kdp::SecuredObject::kFolder, kdp::CallerSidText()) +
      extra;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  const bool set = GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
                   SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                         nullptr, dacl, nullptr) == ERROR_SUCCESS;
  LocalFree(descriptor);
  return set;
}

}  // namespace kdtest
