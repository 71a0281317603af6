#include "atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nodyx {

namespace {

constexpr DWORD kErrorFileTooLarge = 223;

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

HRESULT HresultFromErrno(int error) {
  switch (error) {
    case 0: return S_OK;
    case ENOENT: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS: return E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT: return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case ENOMEM: return E_OUTOFMEMORY;
    case ENAMETOOLONG: return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    case EEXIST: return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    case EFBIG: return HRESULT_FROM_WIN32(kErrorFileTooLarge);
    default: return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  }
}

HRESULT ReplaceFile(const std::string& tempFolder, const std::string& target, const void* data, std::size_t size) {
  if (::mkdir(tempFolder.c_str(), 0700) != 0 && errno != EEXIST) return HresultFromErrno(errno);
  std::string temp = tempFolder + "/write-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return HresultFromErrno(errno);
  // mkstemp gives 0600; stored items and descriptions share the store's mode.
  ::fchmod(fd, 0644);
  int error = 0;
  if (!WriteAll(fd, data, size) || ::fsync(fd) != 0) error = errno ? errno : EIO;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return HresultFromErrno(error);
  }
  SyncFolder(ParentOf(target));
  return S_OK;
}

HRESULT ReadWholeFile(const std::string& path, std::size_t maxSize, std::string* out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return HresultFromErrno(errno);
  struct stat st {};
  HRESULT hr = S_OK;
  if (::fstat(fd, &st) != 0) {
    hr = HresultFromErrno(errno);
  } else if (!S_ISREG(st.st_mode)) {
    hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  } else if (static_cast<std::uint64_t>(st.st_size) > maxSize) {
    hr = HRESULT_FROM_WIN32(kErrorFileTooLarge);
  } else {
    out->resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out->size()) {
      const ssize_t n = ::read(fd, out->data() + done, out->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (done != out->size()) hr = HRESULT_FROM_WIN32(ERROR_READ_FAULT);
  }
  ::close(fd);
  return hr;
}

}  // namespace nodyx
