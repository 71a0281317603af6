#include "store_owner.h"

#include "kdplatform/errno_map.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace nodyx {

HRESULT CallerOwnsFolder(const std::string& folder, bool* owner) {
  *owner = false;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return HRESULT_FROM_WIN32(kdp::Win32ErrorFromErrno(errno));
  const uid_t caller = ::geteuid();
  *owner = caller == 0 || st.st_uid == caller;
  return S_OK;
}

}  // namespace nodyx
