#include "failure.h"

#include <tools2/errors.h>

namespace kdcli {

namespace {

// The codes devices answer with (nodyx/result_codes.h).
constexpr HRESULT kWrongPin = HRESULT_FROM_WIN32(86);       // ERROR_INVALID_PASSWORD
constexpr HRESULT kPinExpired = HRESULT_FROM_WIN32(1330);   // ERROR_PASSWORD_EXPIRED
constexpr HRESULT kDeviceBusy = HRESULT_FROM_WIN32(170);    // ERROR_BUSY
constexpr HRESULT kDeviceError = HRESULT_FROM_WIN32(1117);  // ERROR_IO_DEVICE
constexpr HRESULT kDeviceNotReady = HRESULT_FROM_WIN32(ERROR_NOT_READY);
constexpr HRESULT kDeviceFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
constexpr HRESULT kPathNotFound = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
constexpr HRESULT kInvalidName = HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
// A device path that does not parse leaves the low 16 bits of E_UNEXPECTED.
constexpr HRESULT kUnparsedPath = HRESULT_FROM_WIN32(0xFFFF);

std::string WithProblem(HRESULT hr, const std::string& described) {
  const std::string problem = DeviceProblem(hr);
  return problem.empty() ? described : problem + ": " + described;
}

}  // namespace

std::string DeviceProblem(HRESULT hr) {
  switch (hr) {
    case kDeviceBusy:
      return "the device is busy: other programs or sessions are using it (all of a token's sessions taken, or an "
             "object changed by another program meanwhile); try again (ERROR_BUSY)";
    case kDeviceNotReady: return "the device was removed, or stopped answering, during the operation (ERROR_NOT_READY)";
    case kDeviceError: return "the device reported a fault of its own (ERROR_IO_DEVICE); check the card and its reader";
    case kDeviceFull: return "the storage has no room left (ERROR_DISK_FULL)";
    case kPinExpired:
      return "the device's PIN has expired and must be changed before use, with the device's own tools "
             "(ERROR_PASSWORD_EXPIRED)";
    case kWrongPin: return "the device refused the PIN (ERROR_INVALID_PASSWORD)";
    case kPinLocked:
      return "the device is locked after too many wrong PINs and takes no PIN until it is unblocked "
             "(SCARD_W_CHV_BLOCKED)";
    default: return "";
  }
}

ExitCode ExitCodeFor(HRESULT hr) {
  switch (hr) {
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
    case STG_E_FILENOTFOUND:
    case kPathNotFound: return kNotFound;
    case E_ACCESSDENIED:
    case kWrongPin:
    case kPinExpired:
    case kPinLocked: return kPinRefused;
    case kDeviceBusy: return kBusy;
    case E_UNEXPECTED:
    case E_INVALIDARG:
    case kInvalidName:
    case kUnparsedPath: return kBadPath;
    default: return kFailed;
  }
}

void FailWithHresult(const std::string& what, HRESULT hr) {
  throw Failure(ExitCodeFor(hr), what + ": " + WithProblem(hr, DescribeHresult(hr)), HResult2ToolsErr(hr));
}

void FailWithToolsCode(const std::string& what, int code) {
  const HRESULT hr = TooErr2HResult(code);
  throw Failure(ExitCodeFor(hr), what + ": " + WithProblem(hr, DescribeToolsCode(code)), code);
}

}  // namespace kdcli
