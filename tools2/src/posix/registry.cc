// The registry on Linux: each key a folder of the store, its values in one
// file replaced whole (kdp::ReplaceFileAtomically), so that a crash leaves
// either the old or the new values, never a mix. Writers of one key take an
// exclusive lock on its folder; readers need none.
#include "tools2/registry.h"

#include "../registry_names.h"
#include "registry_store.h"
#include "tools2/errors.h"
#include "kdplatform/path_names.h"

#include <kdplatform/errno_map.h>
#include <kdplatform/file_io.h>
#include <kdplatform/trust.h>
#include <kdplatform/win32.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using tools2::detail::ValueView;
using tools2::detail::WipedBytes;

namespace {

// A file where a key folder should be means the key does not exist.
DWORD KeyError(DWORD error) {
  return error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ? ERROR_FILE_NOT_FOUND : error;
}

// Whether this process may use the folder and its values file as `access`
// asks; 0 or the Win32 code.
DWORD CheckAccess(int fd, int access) {
  const int folderMode = access == TOOREG_READ ? (R_OK | X_OK) : (R_OK | W_OK | X_OK);
  if (::faccessat(fd, ".", folderMode, AT_EACCESS) != 0) return kdp::Win32ErrorFromErrno(errno);
  if (::faccessat(fd, tools2::detail::kValuesFile, R_OK, AT_EACCESS) != 0 && errno != ENOENT) {
    return kdp::Win32ErrorFromErrno(errno);
  }
  return 0;
}

// Holds the exclusive lock of a key folder for its lifetime.
class FolderLock {
 public:
  explicit FolderLock(kdp::NativeFile folder) : m_folder(folder), m_error(kdp::LockFile(folder)) {}
  ~FolderLock() {
    if (m_error == 0) kdp::UnlockFile(m_folder);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  DWORD error() const { return m_error; }

 private:
  kdp::NativeFile m_folder;
  DWORD m_error;
};

std::vector<ValueView>::iterator FindValue(std::vector<ValueView>& values, const char* name) {
  return std::find_if(values.begin(), values.end(),
                      [name](const ValueView& v) { return tools2::detail::SameValueName(v.name, name); });
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

std::string TooRegStoreFolder() { return tools2::detail::RegistryRoot(); }

struct CTooReg::Impl {
  std::string folder;
  kdp::FileHandle handle;  // the key's folder: access checks and the writers' lock
  bool writable = false;

  std::string ValuesPath() const { return kdp::JoinPath(folder, tools2::detail::kValuesFile); }

  // The key's values; an absent values file is a key without values. 0 or
  // the Win32 code.
  DWORD Load(WipedBytes* bytes, std::vector<ValueView>* values) const {
    const DWORD error =
        kdp::ReadWholeFile(ValuesPath(), tools2::detail::kMaxValuesFileBytes, bytes, nullptr, kdp::kOpenNoFollow);
    if (error == ERROR_FILE_NOT_FOUND) {
      values->clear();
      return 0;
    }
    if (error == ERROR_FILE_TOO_LARGE) return tools2::detail::kErrorRegistryCorrupt;
    if (error != 0) return error;
    return tools2::detail::ParseValues(bytes->data(), bytes->size(), values) ? 0
                                                                             : tools2::detail::kErrorRegistryCorrupt;
  }

  enum class Change { kSet, kAdd, kDelete };

  // One read-modify-write of the values file under the folder's lock.
  DWORD Modify(const char* name, Change change, DWORD type, const void* data, DWORD size) const {
    if (!tools2::detail::IsValidValueName(name)) return ERROR_INVALID_NAME;
    if (change != Change::kDelete && ((data == nullptr && size != 0) || size > tools2::detail::kMaxValueBytes)) {
      return ERROR_INVALID_PARAMETER;
    }
    if (!writable) return ERROR_ACCESS_DENIED;
    const FolderLock lock(handle.Get());
    if (lock.error() != 0) return lock.error();
    WipedBytes bytes;
    std::vector<ValueView> values;
    if (const DWORD error = Load(&bytes, &values); error != 0) return error;
    const auto found = FindValue(values, name);
    if (change == Change::kDelete) {
      if (found == values.end()) return ERROR_FILE_NOT_FOUND;
      values.erase(found);
    } else if (found != values.end()) {
      if (change == Change::kAdd) return ERROR_ALREADY_EXISTS;
      *found = ValueView{found->name, type, static_cast<const std::uint8_t*>(data), size};  // first spelling kept
    } else {
      values.push_back(ValueView{name, type, static_cast<const std::uint8_t*>(data), size});
    }
    WipedBytes out = tools2::detail::SerializeValues(values);
    if (out.size() > tools2::detail::kMaxValuesFileBytes) return ERROR_DISK_FULL;
    return kdp::ReplaceFileAtomically(ValuesPath(), out.data(), out.size());
  }

  // Looks a value up for reading; null with *error set when it cannot.
  const ValueView* Find(const char* name, WipedBytes* bytes, std::vector<ValueView>* values, DWORD* error) const {
    if (!tools2::detail::IsValidValueName(name)) {
      *error = ERROR_INVALID_NAME;
      return nullptr;
    }
    if ((*error = Load(bytes, values)) != 0) return nullptr;
    const auto found = FindValue(*values, name);
    if (found == values->end()) {
      *error = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    return &*found;
  }
};

CTooReg::CTooReg(const char* keyPath, int access) : m_impl(nullptr) {
  const std::string key = keyPath != nullptr ? keyPath : "";
  if (keyPath == nullptr || access < TOOREG_READ || access > TOOREG_CREATE) {
    throw XTOORegError(key, "", static_cast<int>(ERROR_INVALID_PARAMETER));
  }
  std::vector<std::string> parts;
  if (!tools2::detail::KeyPathToFolders(key, &parts)) {
    throw XTOORegError(key, "", static_cast<int>(ERROR_INVALID_NAME));
  }
  std::string folder = tools2::detail::RegistryRoot();
  for (const std::string& part : parts) folder = kdp::JoinPath(folder, part);
  kdp::FileHandle handle;
  DWORD error = 0;
  if (access == TOOREG_CREATE) error = kdp::CreateFolderPath(folder, kdp::Access::kOwnerOnly);
  // The store holds the PIN cipher's key and the enciphered PINs: a key
  // that another user could have changed or swapped is not used.
  if (error == 0) error = kdp::CheckTrusted(folder);
  if (error == 0) error = kdp::OpenFile(folder, kdp::kOpenRead | kdp::kOpenFolder, &handle);
  if (error == 0) error = CheckAccess(static_cast<int>(handle.Get()), access);
  if (error != 0) throw XTOORegError(key, "", static_cast<int>(KeyError(error)));
  m_impl = new Impl{std::move(folder), std::move(handle), access != TOOREG_READ};
}

CTooReg::~CTooReg() { delete m_impl; }

DWORD CTooReg::GetBufferLength(const char* name) {
  WipedBytes bytes;
  std::vector<ValueView> values;
  DWORD error = 0;
  const ValueView* v = m_impl->Find(name, &bytes, &values, &error);
  SetLastError(error);
  return v != nullptr ? v->size : 0;
}

BOOL CTooReg::GetMemory(const char* name, void* buffer, DWORD size) {
  WipedBytes bytes;
  std::vector<ValueView> values;
  DWORD error = 0;
  const ValueView* v = m_impl->Find(name, &bytes, &values, &error);
  if (v == nullptr) return Fail(error);
  if (v->size > size) return Fail(ERROR_MORE_DATA);
  if (v->size != 0) {
    if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    std::memcpy(buffer, v->data, v->size);
  }
  return TRUE;
}

BOOL CTooReg::GetValueEx(const char* name, DWORD type, void* buffer, DWORD size) {
  WipedBytes bytes;
  std::vector<ValueView> values;
  DWORD error = 0;
  const ValueView* v = m_impl->Find(name, &bytes, &values, &error);
  if (v == nullptr) return Fail(error);
  if (v->type != type) return Fail(ERROR_INVALID_DATA);
  if (v->size > size) return Fail(ERROR_MORE_DATA);
  if (v->size != 0) {
    if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    std::memcpy(buffer, v->data, v->size);
  }
  return TRUE;
}

BOOL CTooReg::SetValue(const char* name, DWORD value) {
  // REG_DWORD is little-endian, as this machine's DWORD.
  const DWORD error = m_impl->Modify(name, Impl::Change::kSet, REG_DWORD, &value, sizeof value);
  return error == 0 ? TRUE : Fail(error);
}

BOOL CTooReg::SetValue(const char* name, const void* data, DWORD size) {
  const DWORD error = m_impl->Modify(name, Impl::Change::kSet, REG_BINARY, data, size);
  return error == 0 ? TRUE : Fail(error);
}

BOOL CTooReg::AddValue(const char* name, const void* data, DWORD size) {
  const DWORD error = m_impl->Modify(name, Impl::Change::kAdd, REG_BINARY, data, size);
  return error == 0 ? TRUE : Fail(error);
}

BOOL CTooReg::DelValue(const char* name) {
  const DWORD error = m_impl->Modify(name, Impl::Change::kDelete, REG_NONE, nullptr, 0);
  return error == 0 ? TRUE : Fail(error);
}
