// Running a program from a test: the project's tools end to end, or a helper
// program a test ends on purpose. One runner for every system (posix_spawn
// on POSIX systems, CreateProcessA on Windows): the program gets pipes for
// its standard streams and the test's environment with some values on top,
// and nothing else of the test.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kdtest {

struct ProcessOptions {
  // All of the program's standard input; it then reads the end of the file.
  std::string input;
  // Set for the program only, over the test's own values.
  std::vector<std::pair<std::string, std::string>> environment;
  // Asked every few milliseconds while the program runs: once it answers
  // true, the program is ended (SIGKILL, TerminateProcess), for tests of
  // what an interrupted program leaves behind.
  std::function<bool()> killWhen;
};

struct ProcessResult {
  // The exit code; -1 when the program could not be started or did not
  // exit by itself (a signal, killWhen).
  int code = -1;
  bool killed = false;  // ended because killWhen said so
  std::string out;      // its standard output, as written
  std::string err;      // its error output, as written (or why it could not start)
};

// Runs `program` (a path, not searched for) with `arguments` and waits for
// it to end.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

}  // namespace kdtest
