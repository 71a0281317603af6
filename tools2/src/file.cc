#include "tools2/file.h"

#include "errno_to_tools.h"
#include "tools2/errors.h"

#include <kdplatform/native_path.h>
#include <kdplatform/win32.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr DWORD kErrorFileTooLarge = 223u;

// fopen mode text to open(2) flags; false for a mode fopen would refuse.
bool ModeFlags(const char* mode, int* flags) {
  if (mode == nullptr) {
    return false;
  }
  int access = 0;
  switch (mode[0]) {
    case 'r': access = O_RDONLY; break;
    case 'w': access = O_WRONLY | O_CREAT | O_TRUNC; break;
    case 'a': access = O_WRONLY | O_CREAT | O_APPEND; break;
    default: return false;
  }
  int extra = O_CLOEXEC;
  for (const char* p = mode + 1; *p != '\0'; ++p) {
    switch (*p) {
      case '+': access = (access & ~(O_RDONLY | O_WRONLY)) | O_RDWR; break;
      case 'x': extra |= O_EXCL; break;
      case 'b':
      case 't': break;
      default: return false;
    }
  }
  *flags = access | extra;
  return true;
}

}  // namespace

CTOOFile::CTOOFile(const char* path, const char* mode, bool raise) : m_status(raise) {
  std::string native;
  int flags = 0;
  if (path != nullptr && ModeFlags(mode, &flags) && kdp::ToNativePath(path, &native)) {
    do {
      m_fd = ::open(native.c_str(), flags, 0600);
    } while (m_fd < 0 && errno == EINTR);
  }
  if (m_fd < 0) {
    m_status.SetError(TOOERR_OPEN_FAILED);
  }
}

CTOOFile::~CTOOFile() {
  if (m_fd >= 0) {
    ::close(m_fd);
  }
}

unsigned int CTOOFile::Read(void* buffer, unsigned int size) {
  if (m_fd < 0 || buffer == nullptr) {
    return 0;
  }
  unsigned int done = 0;
  while (done < size) {
    const ssize_t n = ::read(m_fd, static_cast<char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    done += static_cast<unsigned int>(n);
  }
  return done;
}

unsigned int CTOOFile::Write(const void* buffer, unsigned int size) {
  if (m_fd < 0 || buffer == nullptr) {
    return 0;
  }
  unsigned int done = 0;
  while (done < size) {
    const ssize_t n = ::write(m_fd, static_cast<const char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    done += static_cast<unsigned int>(n);
  }
  return done;
}

bool CTOOFile::IsExists(const char* path) {
  std::string native;
  struct stat st {};
  return path != nullptr && kdp::ToNativePath(path, &native) && ::stat(native.c_str(), &st) == 0;
}

DWORD CTOOFile::Length(const char* path, XTOOFile& status) {
  std::string native;
  if (path == nullptr || !kdp::ToNativePath(path, &native)) {
    status.SetError(WinErr2ToolsErr(ERROR_PATH_NOT_FOUND));
    return 0;
  }
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) {
    status.SetError(tools2_detail::ErrnoToToolsErr(errno));
    return 0;
  }
  if (S_ISDIR(st.st_mode)) {
    status.SetError(WinErr2ToolsErr(ERROR_ACCESS_DENIED));
    return 0;
  }
  if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > 0xFFFFFFFFull) {
    status.SetError(WinErr2ToolsErr(kErrorFileTooLarge));
    return 0;
  }
  return static_cast<DWORD>(st.st_size);
}

DWORD CTOOFile::Attributes(const char* path, XTOOFile& status) {
  const DWORD attributes = path != nullptr ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = path != nullptr ? GetLastError() : static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    status.SetError(WinErr2ToolsErr(error != 0 ? error : static_cast<DWORD>(ERROR_FILE_NOT_FOUND)));
    return 0;
  }
  return attributes;
}

int CTOOFile::Remove(const char* path, XTOOFile& status) {
  std::string native;
  int code = 0;
  if (path == nullptr || !kdp::ToNativePath(path, &native)) {
    code = WinErr2ToolsErr(ERROR_PATH_NOT_FOUND);
  } else if (::unlink(native.c_str()) != 0) {
    code = tools2_detail::ErrnoToToolsErr(errno);
  }
  if (code != 0) {
    status.SetError(code);
  }
  return code;
}
