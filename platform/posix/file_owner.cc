#include "kdplatform/file_owner.h"

#include "kdplatform/errno_map.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kdp {

DWORD CallerOwnsOrAdministers(const std::string& path, bool* owner) {
  *owner = false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Win32ErrorFromErrno(errno);
  const uid_t caller = ::geteuid();
  *owner = caller == 0 || st.st_uid == caller;
  return 0;
}

}  // namespace kdp
