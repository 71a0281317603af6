#include "storage_call.h"

#include "failure.h"

namespace kdcli {

namespace {

constexpr const char* kPinHelp = "--ask-pin, --pin-file, --pin-fd or --pin-env";

// Whether a device path names a device that the session does not see.
bool DeviceMissing(DWORD session, const std::string& path) {
  ComPtr<IAD_Device> device;
  try {
    return keydepot::ad::FindDeviceByPath(session, path.c_str(), device.put()) == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  } catch (long) {
    return false;
  }
}

}  // namespace

StorageCall::StorageCall(const std::string& path, const std::string& filter, const PinOptions& pin, bool stdinTaken)
    : path_(path), pinOptions_(pin), stdinTaken_(stdinTaken) {
  if (PathNeedsSession(path)) session_.emplace(filter);
  pin_.Load(pin, path);
  record_.path = path;
  record_.pin = pin_.get();
  record_.session = session_ ? session_->handle() : 0;
}

bool StorageCall::Run(const std::function<bool(keydepot::CertInfo*)>& op) {
  const std::string what = "cannot use " + path_;
  bool ok = Guarded(what, [&] { return op(&record_); });
  if (ok || record_.pin != nullptr || stdinTaken_ || !SecretPin::CanPrompt()) return ok;
  const int code = keydepot::KDPGetLastError();
  if (TooErr2HResult(code) != E_ACCESSDENIED) return ok;
  pin_.Prompt(path_);
  record_.pin = pin_.get();
  return Guarded(what, [&] { return op(&record_); });
}

void StorageCall::Fail(const std::string& what) {
  const int code = keydepot::KDPGetLastError();
  if (code == 0) throw Failure(kFailed, what + ": the library reported no reason");
  const HRESULT hr = TooErr2HResult(code);
  const std::string reason = DescribeToolsCode(code);
  switch (ExitCodeFor(hr)) {
    case kNotFound:
      if (session_ && path_.rfind("DEV|", 0) != 0 && DeviceMissing(session_->handle(), path_)) {
        throw Failure(kNotFound, what + ": no attached device matches the path: " + reason);
      }
      throw Failure(kNotFound, what + ": the item does not exist: " + reason);
    case kPinRefused:
      if (record_.pin == nullptr) {
        throw Failure(kPinRefused, what + ": access denied; the device may need a PIN (" + kPinHelp + "): " + reason);
      }
      throw Failure(kPinRefused, what + ": the device refused the PIN: " + reason);
    case kBadPath:
      throw Failure(kBadPath, what + ": the path or a name in it is not valid: " + reason);
    default:
      FailWithToolsCode(what, code);
  }
}

}  // namespace kdcli
