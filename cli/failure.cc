#include "failure.h"

#include <tools2/errors.h>

#include <cstdio>

namespace kdcli {

namespace {

constexpr HRESULT kWrongPin = HRESULT_FROM_WIN32(86);  // ERROR_INVALID_PASSWORD
constexpr HRESULT kPathNotFound = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
constexpr HRESULT kInvalidName = HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
// A device path that does not parse leaves the low 16 bits of E_UNEXPECTED.
constexpr HRESULT kUnparsedPath = HRESULT_FROM_WIN32(0xFFFF);

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

std::string DescribeHresult(HRESULT hr) {
  const std::string name = _com_error(hr).ErrorMessage();
  std::string text = "HRESULT " + Hex(static_cast<unsigned>(hr));
  if (name.rfind("Unknown error", 0) != 0) text += " " + name;
  return text;
}

std::string DescribeToolsCode(int code) {
  std::string text = "toolkit code " + std::to_string(code) + " (" + ToolsErrMessage(code) + ")";
  // Codes that stand for a Win32 error or an HRESULT also get the HRESULT's
  // name, which is what component documentation uses.
  if (code < 0 || code > 0xFFFF) text += ", " + DescribeHresult(TooErr2HResult(code));
  return text;
}

ExitCode ExitCodeFor(HRESULT hr) {
  switch (hr) {
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
    case STG_E_FILENOTFOUND:
    case kPathNotFound: return kNotFound;
    case E_ACCESSDENIED:
    case kWrongPin:
    case kPinLocked: return kPinRefused;
    case E_UNEXPECTED:
    case E_INVALIDARG:
    case kInvalidName:
    case kUnparsedPath: return kBadPath;
    default: return kFailed;
  }
}

void FailWithHresult(const std::string& what, HRESULT hr) {
  throw Failure(ExitCodeFor(hr), what + ": " + DescribeHresult(hr), HResult2ToolsErr(hr));
}

void FailWithToolsCode(const std::string& what, int code) {
  throw Failure(ExitCodeFor(TooErr2HResult(code)), what + ": " + DescribeToolsCode(code), code);
}

}  // namespace kdcli
