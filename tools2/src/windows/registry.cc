// The registry on Windows: the system's, under HKEY_LOCAL_MACHINE. Every key
// is opened in the 32-bit view (KEY_WOW64_32KEY), the one a 32-bit program
// sees, so that 32-bit and 64-bit builds of the library and the tools share
// one set of keys. Keys this class creates are SYSTEM's and the
// Administrators' only (they hold the PIN cipher's key and enciphered PINs),
// whatever HKEY_LOCAL_MACHINE\SOFTWARE would pass on to them.
#include "tools2/registry.h"

#include "../registry_names.h"

#include <kdplatform/security.h>
#include <kdplatform/win32.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr REGSAM kView = KEY_WOW64_32KEY;
// How long AddValue waits for another process's look and write: far longer
// than one takes, short enough that a lock held on purpose (by a process
// that opened the mutex and keeps it) fails the call with ERROR_TIMEOUT
// instead of hanging it.
constexpr DWORD kLockWaitMilliseconds = 5000;

BOOL Fail(LONG error) {
  SetLastError(static_cast<DWORD>(error));
  return FALSE;
}

// Serialises AddValue's look and write for one value among all processes:
// the registry has no "create a value unless it exists". The mutex is named
// by an FNV-1a hash of the key path and value name (letter case ignored, as
// the registry ignores it), the same in 32-bit and 64-bit programs. The mutex
// made here is SYSTEM's, the Administrators' and its creator's only.
class ValueLock {
 public:
  ValueLock(const std::string& key, const char* value) {
    // '\' cannot occur in a value name, so "key\value" names one value.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key + '\\' + value) {
      hash ^= static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
      hash *= 1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Global\\keydepot-registry-%016llx", static_cast<unsigned long long>(hash));
    kdp::CreationSecurity security(kdp::SecurityRole::kOwnerOnly, kdp::SecuredObject::kMutex);
    if ((error_ = security.error()) != 0) return;
    mutex_ = CreateMutexA(security.attributes(), FALSE, name);
    if (mutex_ == nullptr) {
      error_ = GetLastError();
      return;
    }
    const DWORD waited = WaitForSingleObject(mutex_, kLockWaitMilliseconds);
    // An abandoned mutex is owned all the same; its last owner died.
    if (waited == WAIT_TIMEOUT) {
      error_ = ERROR_TIMEOUT;
    } else if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      error_ = GetLastError();
    }
  }
  ~ValueLock() {
    if (mutex_ == nullptr) return;
    if (error_ == 0) ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  ValueLock(const ValueLock&) = delete;
  ValueLock& operator=(const ValueLock&) = delete;
  DWORD error() const { return error_; }

 private:
  HANDLE mutex_ = nullptr;
  DWORD error_ = 0;
};

// Opens `key` under HKEY_LOCAL_MACHINE with `rights`, first creating each
// missing key on the way with the administrators-only descriptor (every one
// of them, not only the last, whatever RegCreateKeyExA would do with the
// keys it makes on the way).
LONG CreateKey(const std::string& key, REGSAM rights, HKEY* opened) {
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, rights, opened);
  if (error != ERROR_FILE_NOT_FOUND) return error;
  kdp::CreationSecurity security(kdp::SecurityRole::kAdministratorsOnly, kdp::SecuredObject::kRegistryKey);
  if (security.error() != 0) return static_cast<LONG>(security.error());
  HKEY parent = HKEY_LOCAL_MACHINE;
  for (std::size_t at = 0;;) {
    const std::size_t end = key.find('\\', at);
    const bool last = end == std::string::npos;
    const std::string name = key.substr(at, last ? std::string::npos : end - at);
    HKEY next = nullptr;
    error = RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            last ? rights : KEY_CREATE_SUB_KEY | kView, security.attributes(), &next, nullptr);
    if (parent != HKEY_LOCAL_MACHINE) RegCloseKey(parent);
    if (error != ERROR_SUCCESS || last) {
      *opened = next;
      return error;
    }
    parent = next;
    at = end + 1;
  }
}

}  // namespace

std::string TooRegStoreFolder() { return "HKEY_LOCAL_MACHINE"; }

struct CTooReg::Impl {
  HKEY key = nullptr;
  std::string path;

  ~Impl() {
    if (key) RegCloseKey(key);
  }

  // A value's type and size; ERROR_FILE_NOT_FOUND when missing.
  LONG Query(const char* name, DWORD* type, DWORD* size) const {
    if (!tools2::detail::IsValidValueName(name)) return ERROR_INVALID_NAME;
    *size = 0;
    return RegQueryValueExA(key, name, nullptr, type, nullptr, size);
  }

  // Copies a value of any type (wantType 0) or of wantType into buffer.
  BOOL Read(const char* name, DWORD wantType, void* buffer, DWORD size) const {
    DWORD type = 0;
    DWORD length = 0;
    if (const LONG error = Query(name, &type, &length)) return Fail(error);
    if (wantType != REG_NONE && type != wantType) return Fail(ERROR_INVALID_DATA);
    if (length > size) return Fail(ERROR_MORE_DATA);
    if (length == 0) return TRUE;
    if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    const LONG error = RegQueryValueExA(key, name, nullptr, nullptr, static_cast<BYTE*>(buffer), &length);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
  }

  BOOL Write(const char* name, DWORD type, const void* data, DWORD size) const {
    if (!tools2::detail::IsValidValueName(name)) return Fail(ERROR_INVALID_NAME);
    if (data == nullptr && size != 0) return Fail(ERROR_INVALID_PARAMETER);
    const LONG error = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
  }
};

CTooReg::CTooReg(const char* keyPath, int access) : m_impl(nullptr) {
  const std::string key = keyPath != nullptr ? keyPath : "";
  if (keyPath == nullptr || access < TOOREG_READ || access > TOOREG_CREATE) {
    throw XTOORegError(key, "", static_cast<int>(ERROR_INVALID_PARAMETER));
  }
  if (!tools2::detail::IsValidKeyPath(key)) {
    throw XTOORegError(key, "", static_cast<int>(ERROR_INVALID_NAME));
  }
  const REGSAM rights = (access == TOOREG_READ ? KEY_READ : KEY_READ | KEY_WRITE) | kView;
  HKEY opened = nullptr;
  const LONG error = access == TOOREG_CREATE ? CreateKey(key, rights, &opened)
                                             : RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, rights, &opened);
  if (error != ERROR_SUCCESS) throw XTOORegError(key, "", static_cast<int>(error));
  m_impl = new Impl{opened, key};
}

CTooReg::~CTooReg() { delete m_impl; }

DWORD CTooReg::GetBufferLength(const char* name) {
  DWORD type = 0;
  DWORD size = 0;
  const LONG error = m_impl->Query(name, &type, &size);
  SetLastError(static_cast<DWORD>(error));
  return error == ERROR_SUCCESS ? size : 0;
}

BOOL CTooReg::GetMemory(const char* name, void* buffer, DWORD size) {
  return m_impl->Read(name, REG_NONE, buffer, size);
}

BOOL CTooReg::GetValueEx(const char* name, DWORD type, void* buffer, DWORD size) {
  return m_impl->Read(name, type, buffer, size);
}

BOOL CTooReg::SetValue(const char* name, DWORD value) { return m_impl->Write(name, REG_DWORD, &value, sizeof value); }

BOOL CTooReg::SetValue(const char* name, const void* data, DWORD size) {
  return m_impl->Write(name, REG_BINARY, data, size);
}

BOOL CTooReg::AddValue(const char* name, const void* data, DWORD size) {
  if (!tools2::detail::IsValidValueName(name)) return Fail(ERROR_INVALID_NAME);
  const ValueLock lock(m_impl->path, name);
  if (lock.error() != 0) return Fail(static_cast<LONG>(lock.error()));
  DWORD type = 0;
  DWORD length = 0;
  const LONG error = m_impl->Query(name, &type, &length);
  if (error == ERROR_SUCCESS) return Fail(ERROR_ALREADY_EXISTS);
  if (error != ERROR_FILE_NOT_FOUND) return Fail(error);
  return m_impl->Write(name, REG_BINARY, data, size);
}

BOOL CTooReg::DelValue(const char* name) {
  if (!tools2::detail::IsValidValueName(name)) return Fail(ERROR_INVALID_NAME);
  const LONG error = RegDeleteValueA(m_impl->key, name);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}
