#include "errno_map.h"

#include "kdplatform/errors.h"

#include <cerrno>

namespace kdp::detail {

DWORD Win32ErrorFromErrno(int error) noexcept {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOSYS:
    case ENOTSUP:
      return ERROR_NOT_SUPPORTED;
    case EIO:
      return ERROR_READ_FAULT;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

}  // namespace kdp::detail
