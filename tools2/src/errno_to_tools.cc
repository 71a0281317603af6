#include "errno_to_tools.h"

#include "tools2/errors.h"

#include <kdplatform/win32.h>

#include <cerrno>

namespace tools2_detail {

// errno to the Win32 code a Windows call would have failed with, then into
// the toolkit's space, so that TooErr2WinErr gives callers a familiar code.
int ErrnoToToolsErr(int error) noexcept {
  DWORD win = 31u;  // ERROR_GEN_FAILURE
  switch (error) {
    case 0: return 0;
    case ENOENT: win = ERROR_FILE_NOT_FOUND; break;
    case ENOTDIR: win = ERROR_PATH_NOT_FOUND; break;
    case EACCES:
    case EPERM:
    case EISDIR: win = ERROR_ACCESS_DENIED; break;
    case EROFS: win = 19u; break;  // ERROR_WRITE_PROTECT
    case ENOSPC:
    case EDQUOT: win = ERROR_DISK_FULL; break;
    case EEXIST: win = ERROR_ALREADY_EXISTS; break;
    case ENOTEMPTY: win = ERROR_DIR_NOT_EMPTY; break;
    case ENAMETOOLONG: win = ERROR_FILENAME_EXCED_RANGE; break;
    case ELOOP: win = ERROR_BAD_PATHNAME; break;
    case ENOMEM: win = ERROR_NOT_ENOUGH_MEMORY; break;
    case EINVAL: win = ERROR_INVALID_PARAMETER; break;
    case EBADF: win = ERROR_INVALID_HANDLE; break;
    case EBUSY: win = 32u; break;  // ERROR_SHARING_VIOLATION
    case EMFILE:
    case ENFILE: win = 4u; break;  // ERROR_TOO_MANY_OPEN_FILES
    default: break;
  }
  return WinErr2ToolsErr(win);
}

}  // namespace tools2_detail
