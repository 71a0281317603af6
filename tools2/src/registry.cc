// The registry on Linux: each key a folder of the store, its values in one
// file replaced whole (write a temporary file, fsync, rename), so that a
// crash leaves either the old or the new values, never a mix. Writers of one
// key take an exclusive lock on its folder; readers need none.
#include "tools2/registry.h"

#include "errno_to_tools.h"
#include "registry_store.h"
#include "tools2/errors.h"

#include <kdplatform/win32.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using tools2_detail::ValueView;
using tools2_detail::WipedBytes;

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

DWORD Win32FromErrno(int error) {
  // A file where a key folder should be means the key does not exist.
  if (error == ENOTDIR) return ERROR_FILE_NOT_FOUND;
  return TooErr2WinErr(tools2_detail::ErrnoToToolsErr(error));
}

void CloseFd(int fd) {
  if (fd >= 0) ::close(fd);
}

// Makes the store's root folder and its missing parents.
DWORD MakeRoot(const std::string& root) {
  for (std::size_t pos = root.find('/', 1);; pos = root.find('/', pos + 1)) {
    const std::string prefix = root.substr(0, pos);
    if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), kFolderMode) != 0 && errno != EEXIST) {
      return Win32FromErrno(errno);
    }
    if (pos == std::string::npos) return 0;
  }
}

// Opens the key's folder, making missing folders when `create`; the
// descriptor or -1 with *error set.
int OpenKeyFolder(const std::string& root, const std::vector<std::string>& parts, bool create, DWORD* error) {
  if (create) {
    if ((*error = MakeRoot(root)) != 0) return -1;
  }
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    *error = Win32FromErrno(errno);
    return -1;
  }
  for (const std::string& part : parts) {
    if (create) {
      if (::mkdirat(fd, part.c_str(), kFolderMode) == 0) {
        ::fsync(fd);  // the new folder survives a crash once a value is in it
      } else if (errno != EEXIST) {
        *error = Win32FromErrno(errno);
        CloseFd(fd);
        return -1;
      }
    }
    const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int openError = errno;
    CloseFd(fd);
    if (next < 0) {
      *error = Win32FromErrno(openError);
      return -1;
    }
    fd = next;
  }
  *error = 0;
  return fd;
}

// Whether this process may use the folder and its values file as `access`
// asks; 0 or the Win32 code.
DWORD CheckAccess(int fd, int access) {
  const int folderMode = access == TOOREG_READ ? (R_OK | X_OK) : (R_OK | W_OK | X_OK);
  if (::faccessat(fd, ".", folderMode, AT_EACCESS) != 0) return Win32FromErrno(errno);
  if (::faccessat(fd, tools2_detail::kValuesFile, R_OK, AT_EACCESS) != 0 && errno != ENOENT) {
    return Win32FromErrno(errno);
  }
  return 0;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

DWORD WriteValuesFile(int folder, const WipedBytes& bytes) {
  const int fd = ::openat(folder, tools2_detail::kValuesTempFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                          kFileMode);
  if (fd < 0) return Win32FromErrno(errno);
  // A temporary file left by a crash keeps its mode; make sure it is ours.
  bool ok = ::fchmod(fd, kFileMode) == 0 && WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  const int writeError = ok ? 0 : errno;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::renameat(folder, tools2_detail::kValuesTempFile, folder, tools2_detail::kValuesFile) == 0) {
    ::fsync(folder);
    return 0;
  }
  const DWORD error = Win32FromErrno(writeError != 0 ? writeError : errno);
  ::unlinkat(folder, tools2_detail::kValuesTempFile, 0);
  return error;
}

// Holds an exclusive lock on a key folder for its lifetime.
class FolderLock {
 public:
  explicit FolderLock(int fd) : fd_(fd) {
    int r;
    do {
      r = ::flock(fd_, LOCK_EX);
    } while (r != 0 && errno == EINTR);
    error_ = r == 0 ? 0 : Win32FromErrno(errno);
  }
  ~FolderLock() {
    if (error_ == 0) ::flock(fd_, LOCK_UN);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  DWORD error() const { return error_; }

 private:
  int fd_;
  DWORD error_;
};

std::vector<ValueView>::iterator FindValue(std::vector<ValueView>& values, const char* name) {
  return std::find_if(values.begin(), values.end(),
                      [name](const ValueView& v) { return tools2_detail::SameValueName(v.name, name); });
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

XTOORegError::XTOORegError(const std::string& key, const std::string& value, int code)
    : m_key(key), m_value(value), m_code(code) {}

std::string XTOORegError::ErrorMessage() const {
  std::string text = "registry key \"" + m_key + "\"";
  if (!m_value.empty()) text += ", value \"" + m_value + "\"";
  return text + ": " + ToolsErrMessage(WinErr2ToolsErr(static_cast<DWORD>(m_code)));
}

std::string TooRegStoreFolder() { return tools2_detail::RegistryRoot(); }

struct CTooReg::Impl {
  int fd = -1;
  bool writable = false;

  ~Impl() { CloseFd(fd); }

  // The key's values; an absent values file is a key without values. 0 or
  // the Win32 code.
  DWORD Load(WipedBytes* bytes, std::vector<ValueView>* values) const {
    const int file = ::openat(fd, tools2_detail::kValuesFile, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (file < 0) {
      values->clear();
      return errno == ENOENT ? 0 : Win32FromErrno(errno);
    }
    DWORD error = 0;
    struct stat st {};
    if (::fstat(file, &st) != 0) {
      error = Win32FromErrno(errno);
    } else if (!S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > tools2_detail::kMaxValuesFileBytes) {
      error = tools2_detail::kErrorRegistryCorrupt;
    } else {
      *bytes = WipedBytes(static_cast<std::size_t>(st.st_size));
      std::size_t done = 0;
      while (done < bytes->size()) {
        const ssize_t n = ::read(file, bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
      }
      if (done != bytes->size() || !tools2_detail::ParseValues(bytes->data(), bytes->size(), values)) {
        error = tools2_detail::kErrorRegistryCorrupt;
      }
    }
    CloseFd(file);
    return error;
  }

  enum class Change { kSet, kAdd, kDelete };

  // One read-modify-write of the values file under the folder's lock.
  DWORD Modify(const char* name, Change change, DWORD type, const void* data, DWORD size) const {
    if (!tools2_detail::IsValidValueName(name)) return ERROR_INVALID_NAME;
    if (change != Change::kDelete && ((data == nullptr && size != 0) || size > tools2_detail::kMaxValueBytes)) {
      return ERROR_INVALID_PARAMETER;
    }
    if (!writable) return ERROR_ACCESS_DENIED;
    const FolderLock lock(fd);
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
    WipedBytes out = tools2_detail::SerializeValues(values);
    if (out.size() > tools2_detail::kMaxValuesFileBytes) return ERROR_DISK_FULL;
    return WriteValuesFile(fd, out);
  }

  // Looks a value up for reading; null with *error set when it cannot.
  const ValueView* Find(const char* name, WipedBytes* bytes, std::vector<ValueView>* values, DWORD* error) const {
    if (!tools2_detail::IsValidValueName(name)) {
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
  if (!tools2_detail::KeyPathToFolders(key, &parts)) {
    throw XTOORegError(key, "", static_cast<int>(ERROR_INVALID_NAME));
  }
  DWORD error = 0;
  const int fd = OpenKeyFolder(tools2_detail::RegistryRoot(), parts, access == TOOREG_CREATE, &error);
  if (fd < 0) throw XTOORegError(key, "", static_cast<int>(error));
  if ((error = CheckAccess(fd, access)) != 0) {
    CloseFd(fd);
    throw XTOORegError(key, "", static_cast<int>(error));
  }
  m_impl = new Impl;
  m_impl->fd = fd;
  m_impl->writable = access != TOOREG_READ;
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
