// The process's current folder, with the Win32 buffer contract.
#include "kdplatform/win32.h"

#include "kdplatform/errno_map.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

DWORD WINAPI kdp::GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  std::string dir(256, '\0');
  while (!getcwd(dir.data(), dir.size())) {
    if (errno != ERANGE) {
      SetLastError(kdp::Win32ErrorFromErrno(errno));
      return 0;
    }
    dir.resize(dir.size() * 2);
  }
  const std::size_t length = std::strlen(dir.c_str());
  // Too small (or no buffer): the size needed, terminator included.
  if (!buffer || bufferLength <= length) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, dir.c_str(), length + 1);
  return static_cast<DWORD>(length);
}
