// A failure of a tool's command: its exit code, its words and, when there is
// one, the library's toolkit code behind it. Printed once by the tool's
// main() on standard error ("<tool> <command>: <words>"), with --json also as
// an error object (json_output.h).
#pragma once

#include "kdtools/exit_codes.h"

#include <kdplatform/win32.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace kdtools {

class Failure : public std::runtime_error {
 public:
  Failure(ExitCode code, const std::string& message, std::optional<int> toolkit = std::nullopt)
      : std::runtime_error(message), code_(code), toolkit_(toolkit) {}
  ExitCode code() const noexcept { return code_; }
  std::optional<int> toolkit() const noexcept { return toolkit_; }

 private:
  ExitCode code_;
  std::optional<int> toolkit_;
};

// "0x80070002".
std::string HresultText(HRESULT hr);
// "HRESULT 0x80070002 HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)": the code's
// name where it is known.
std::string DescribeHresult(HRESULT hr);
// "toolkit code 4 (file missing)", and the HRESULT with its name for codes
// that stand for a Win32 error or an HRESULT.
std::string DescribeToolsCode(int code);

}  // namespace kdtools
