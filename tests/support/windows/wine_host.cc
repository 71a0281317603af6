#include "kdtest/wine_host.h"

#include <kdplatform/win32.h>

#include <cstdio>
#include <string>

namespace kdtest {
namespace {

HMODULE Wine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") ? ntdll : nullptr;
}

// The host's path of a Windows path (Wine's kernel32 export).
std::string HostPath(const std::string& path) {
  using Function = char*(__cdecl*)(const wchar_t*);
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const auto convert = kernel ? kdp::ProcAs<Function>(GetProcAddress(kernel, "wine_get_unix_file_name")) : nullptr;
  if (!convert) return {};
  const std::wstring wide(path.begin(), path.end());  // test paths are ASCII
  char* native = convert(wide.c_str());
  if (!native) return {};
  std::string host = native;
  HeapFree(GetProcessHeap(), 0, native);
  return host;
}

// A file of the Wine prefix's temporary folder, as a Windows path.
std::string TemporaryFile(const std::string& name) {
  char folder[MAX_PATH] = {};
  const DWORD length = GetTempPathA(sizeof folder, folder);
  return length == 0 || length >= sizeof folder ? std::string() : std::string(folder) + name;
}

// Runs a host command with the host's shell; true once it has succeeded.
// Wine starts a host program named by a Windows path but neither waits for
// it nor reports its exit status, so the command leaves a marker file when
// it succeeds, and this waits for the marker.
bool RunOnHost(const std::string& command) {
  static int calls = 0;
  const std::string marker =
      TemporaryFile("keydepot-host-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++calls));
  const std::string hostMarker = HostPath(marker);
  if (marker.empty() || hostMarker.empty()) return false;
  DeleteFileA(marker.c_str());
  std::string line = "Z:\\bin\\sh -c \"(" + command + ") && : > '" + hostMarker + "'\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int waited = 0; waited < 200; ++waited) {
    if (DeleteFileA(marker.c_str())) return true;
    Sleep(50);
  }
  return false;
}

// Whether Wine runs as root on the host.
bool HostIsRoot() {
  static const bool root = Wine() && RunOnHost("[ $(id -u) = 0 ]");
  return root;
}

}  // namespace

bool HostCanGiveAway() { return HostIsRoot(); }

bool GiveToOtherHostUser(const std::string& path) {
  const std::string host = HostPath(path);
  return HostIsRoot() && !host.empty() && RunOnHost("chown -h 65534:65534 '" + host + "'");
}

bool SetHostMode(const std::string& path, unsigned mode) {
  const std::string host = HostPath(path);
  char octal[8];
  std::snprintf(octal, sizeof octal, "%o", mode);
  return Wine() && !host.empty() && RunOnHost(std::string("chmod ") + octal + " '" + host + "'");
}

}  // namespace kdtest
