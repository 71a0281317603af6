// Removable drives by a stand-in for GetDriveTypeA in this program
// (kdplatform/import_redirect.h).
#include "kdtest/drives.h"

#include <kdplatform/import_redirect.h>
#include <kdplatform/win32.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>

namespace kdtest {
namespace {

using DriveTypeFunction = UINT(WINAPI*)(LPCSTR);

std::mutex g_mutex;
std::set<char> g_removable;
DriveTypeFunction g_system = nullptr;

// "E:", "E:\" and "E:/" name the drive's root.
UINT WINAPI StandIn(LPCSTR root) {
  if (root && std::isalpha(static_cast<unsigned char>(root[0])) && root[1] == ':' &&
      (root[2] == '\0' || ((root[2] == '\\' || root[2] == '/') && root[3] == '\0'))) {
    const std::lock_guard<std::mutex> lock(g_mutex);
    if (g_removable.count(static_cast<char>(std::toupper(static_cast<unsigned char>(root[0]))))) {
      return DRIVE_REMOVABLE;
    }
  }
  return g_system(root);
}

}  // namespace

std::string FixedDrive(char, const std::string& folder) { return folder; }

void RemovableDrive(char letter, const std::string&) {
  static std::once_flag once;
  std::call_once(once, [] {
    g_system =
        kdp::ProcAs<DriveTypeFunction>(kdp::testing::RedirectImport("GetDriveTypeA", kdp::ProcAs<FARPROC>(&StandIn)));
  });
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_removable.insert(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
}

void ResetDrives() {
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_removable.clear();
}

std::string BuildMachinePath(const std::string& path) {
  std::string native = !path.empty() && path[0] == '/' ? "Z:" + path : path;
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}

}  // namespace kdtest
