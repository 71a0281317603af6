#include "kdtest/process.h"

#include <kdplatform/win32.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

namespace kdtest {
namespace {

// Closes what it holds when it dies.
struct Handle {
  HANDLE handle = nullptr;
  ~Handle() { Close(); }
  void Close() {
    if (handle) CloseHandle(handle);
    handle = nullptr;
  }
};

// A pipe whose end `childEnd` (0: read, 1: write) the program inherits.
struct Pipe {
  Handle read, write;
  bool Open(int childEnd) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read.handle, &write.handle, &inherit, 0)) return false;
    return SetHandleInformation(childEnd == 0 ? write.handle : read.handle, HANDLE_FLAG_INHERIT, 0);
  }
};

// One argument as the C run-time's parser takes it back: quoted when it
// has blanks or quotes, backslashes doubled only before a quote.
std::string Quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    for (; i < argument.size() && argument[i] == '\\'; ++i) ++backslashes;
    if (i == argument.size()) {
      quoted.append(backslashes * 2, '\\');
      break;
    }
    if (argument[i] == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    quoted += argument[i];
  }
  return quoted + "\"";
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareStringOrdinal(std::wstring(a.begin(), a.end()).c_str(), -1,
                                                      std::wstring(b.begin(), b.end()).c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The test's environment with `additions` put over it, as an environment
// block: "name=value" strings, each ended by a zero, and one more zero.
std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& additions) {
  std::vector<std::string> entries;
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; entry && *entry; entry += std::strlen(entry) + 1) {
    const std::string text = entry;
    const std::string name = text.substr(0, text.find('=', 1));  // "=C:=C:\dir" is named "=C:"
    bool replaced = false;
    for (const auto& [addedName, value] : additions) replaced = replaced || SameName(addedName, name);
    if (!replaced) entries.push_back(text);
  }
  if (strings) FreeEnvironmentStringsA(strings);
  for (const auto& [name, value] : additions) entries.push_back(name + "=" + value);
  std::string block;
  for (const std::string& entry : entries) block.append(entry).push_back('\0');
  block.push_back('\0');
  return block;
}

void Drain(HANDLE pipe, std::string* text) {
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n != 0) text->append(buffer, n);
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
  ProcessResult result;
  Pipe in, out, err;
  if (!in.Open(0) || !out.Open(1) || !err.Open(1)) {
    result.err = "CreatePipe failed with error " + std::to_string(GetLastError());
    return result;
  }
  std::string line = Quoted(program);
  for (const std::string& argument : arguments) line += " " + Quoted(argument);
  std::string environment = EnvironmentBlock(options.environment);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.read.handle;
  startup.hStdOutput = out.write.handle;
  startup.hStdError = err.write.handle;
  PROCESS_INFORMATION started{};
  const BOOL created = CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                      environment.data(), nullptr, &startup, &started);
  in.read.Close();
  out.write.Close();
  err.write.Close();
  if (!created) {
    result.err = "CreateProcessA failed with error " + std::to_string(GetLastError());
    return result;
  }
  Handle process{started.hProcess}, thread{started.hThread};

  // The input is fed and both outputs drained at once, so that a program
  // blocked on a full pipe never waits for the test.
  std::thread feeder([&] {
    std::size_t written = 0;
    DWORD n = 0;
    while (written < options.input.size() &&
           WriteFile(in.write.handle, options.input.data() + written,
                     static_cast<DWORD>(std::min<std::size_t>(options.input.size() - written, 65536)), &n, nullptr)) {
      written += n;
    }
    in.write.Close();
  });
  std::thread outReader(Drain, out.read.handle, &result.out);
  std::thread errReader(Drain, err.read.handle, &result.err);
  if (options.killWhen) {
    while (WaitForSingleObject(process.handle, 2) == WAIT_TIMEOUT) {
      if (options.killWhen()) {
        TerminateProcess(process.handle, 1);
        result.killed = true;
        break;
      }
    }
  }
  WaitForSingleObject(process.handle, INFINITE);
  feeder.join();
  outReader.join();
  errReader.join();
  DWORD code = 0;
  if (!result.killed && GetExitCodeProcess(process.handle, &code)) result.code = static_cast<int>(code);
  return result;
}

}  // namespace kdtest
