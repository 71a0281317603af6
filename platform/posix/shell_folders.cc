// The application-data folders. Linux has no shell registry of folders: each
// id names a folder chosen by environment variables, read on every call.
#include "kdplatform/win32.h"

#include "kdplatform/file_io.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

std::string HomeFolder() {
  if (const char* home = NonEmptyEnv("HOME")) return home;
  std::string buffer(16384, '\0');
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
    return found->pw_dir;
  }
  return {};
}

// Empty when the id is not one of ours (or no home folder is known).
std::string FolderFor(int id, bool* known) {
  *known = true;
  switch (id) {
    case CSIDL_COMMON_APPDATA:
      if (const char* value = NonEmptyEnv("KEYDEPOT_COMMON_APPDATA")) return value;
      return "/var/lib";
    case CSIDL_LOCAL_APPDATA: {
      if (const char* value = NonEmptyEnv("KEYDEPOT_LOCAL_APPDATA")) return value;
      if (const char* value = NonEmptyEnv("XDG_DATA_HOME")) return value;
      const std::string home = HomeFolder();
      return home.empty() ? std::string() : home + "/.local/share";
    }
    default: *known = false; return {};
  }
}

}  // namespace

HRESULT WINAPI kdp::SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, LPSTR path) {
  if (!path) return E_INVALIDARG;
  path[0] = '\0';
  bool known = false;
  const std::string value = FolderFor(folder & 0xFF, &known);
  if (!known) return E_INVALIDARG;
  if (value.empty()) return E_FAIL;
  if (value.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  if (folder & CSIDL_FLAG_CREATE) {
    // The common folder holds every user's shared configuration: its owner
    // alone may change it, whatever the umask.
    const kdp::Access access =
        (folder & 0xFF) == CSIDL_COMMON_APPDATA ? kdp::Access::kPublicRead : kdp::Access::kShared;
    if (const DWORD error = kdp::CreateFolderPath(value, access)) return HRESULT_FROM_WIN32(error);
  }
  std::memcpy(path, value.c_str(), value.size() + 1);
  return S_OK;
}

BOOL WINAPI kdp::SHGetSpecialFolderPathA(HWND owner, LPSTR path, int folder, BOOL create) {
  const HRESULT hr = SHGetFolderPathA(owner, folder | (create ? CSIDL_FLAG_CREATE : 0), nullptr, 0, path);
  if (FAILED(hr)) {
    SetLastError(HRESULT_CODE(hr));
    return FALSE;
  }
  return TRUE;
}
