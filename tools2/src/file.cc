#include "tools2/file.h"

#include "tools2/errors.h"

#include <kdplatform/file_io.h>
#include <kdplatform/native_path.h>
#include <kdplatform/win32.h>

#include <string>

namespace {

// fopen mode text to the file layer's open flags; false for a mode fopen
// would refuse.
bool ModeFlags(const char* mode, unsigned* flags) {
  if (mode == nullptr) {
    return false;
  }
  unsigned result = 0;
  switch (mode[0]) {
    case 'r': result = kdp::kOpenRead; break;
    case 'w': result = kdp::kOpenWrite | kdp::kOpenCreate | kdp::kOpenTruncate; break;
    case 'a': result = kdp::kOpenWrite | kdp::kOpenCreate | kdp::kOpenAppend; break;
    default: return false;
  }
  for (const char* p = mode + 1; *p != '\0'; ++p) {
    switch (*p) {
      case '+': result |= kdp::kOpenRead | kdp::kOpenWrite; break;
      case 'x': result |= kdp::kOpenExclusive; break;
      case 'b':
      case 't': break;
      default: return false;
    }
  }
  *flags = result;
  return true;
}

// The native path, or a Win32 code.
DWORD Native(const char* path, std::string* native) {
  return path != nullptr && kdp::ToNativePath(path, native) ? 0u : static_cast<DWORD>(ERROR_PATH_NOT_FOUND);
}

}  // namespace

CTOOFile::CTOOFile(const char* path, const char* mode, bool raise) : m_status(raise) {
  std::string native;
  unsigned flags = 0;
  if (!ModeFlags(mode, &flags) || Native(path, &native) != 0 ||
      kdp::OpenFile(native, flags, &m_file, kdp::Access::kOwnerOnly, &m_info) != 0) {
    m_status.SetError(TOOERR_OPEN_FAILED);
  }
}

unsigned int CTOOFile::Read(void* buffer, unsigned int size) {
  std::size_t done = 0;
  if (m_file.IsOpen() && buffer != nullptr) kdp::ReadAll(m_file.Get(), buffer, size, &done);
  return static_cast<unsigned int>(done);
}

unsigned int CTOOFile::Write(const void* buffer, unsigned int size) {
  std::size_t done = 0;
  if (m_file.IsOpen() && buffer != nullptr) kdp::WriteAll(m_file.Get(), buffer, size, &done);
  return static_cast<unsigned int>(done);
}

bool CTOOFile::IsExists(const char* path) {
  std::string native;
  kdp::FileInfo info;
  return Native(path, &native) == 0 && kdp::QueryFile(native, &info) == 0;
}

namespace {

// The length of a file described by `info` (error 0), or 0 with the code in
// `status`.
DWORD LengthOf(DWORD error, const kdp::FileInfo& info, XTOOFile& status) {
  // Only a regular file has a length; 32 bits hold less than 4 GiB.
  if (error == 0 && info.kind != kdp::FileKind::kFile) error = ERROR_ACCESS_DENIED;
  if (error == 0 && info.size > 0xFFFFFFFFull) error = ERROR_FILE_TOO_LARGE;
  if (error != 0) {
    status.SetError(WinErr2ToolsErr(error));
    return 0;
  }
  return static_cast<DWORD>(info.size);
}

}  // namespace

DWORD CTOOFile::Length(const char* path, XTOOFile& status) {
  std::string native;
  kdp::FileInfo info;
  DWORD error = Native(path, &native);
  if (error == 0) error = kdp::QueryFile(native, &info);
  return LengthOf(error, info, status);
}

DWORD CTOOFile::Length(XTOOFile& status) const {
  return LengthOf(m_file.IsOpen() ? 0u : static_cast<DWORD>(ERROR_FILE_NOT_FOUND), m_info, status);
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
  DWORD error = Native(path, &native);
  if (error == 0) error = kdp::RemoveFile(native);
  const int code = WinErr2ToolsErr(error);
  if (code != 0) {
    status.SetError(code);
  }
  return code;
}
