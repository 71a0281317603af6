// One storage function (load, save, exists, size, delete) on one path: the
// record, the session a device path needs, the PIN, and the failure report.
#pragma once

#include "command_options.h"
#include "device_session.h"
#include "pin_source.h"

#include <keydepot/keydepot.h>

#include <functional>
#include <optional>
#include <string>

namespace kdcli {

class StorageCall {
 public:
  // stdinTaken: standard input carries data, so it cannot answer a prompt.
  StorageCall(const std::string& path, const std::string& filter, const PinOptions& pin, bool stdinTaken);
  StorageCall(const StorageCall&) = delete;
  StorageCall& operator=(const StorageCall&) = delete;

  keydepot::CertInfo& record() { return record_; }

  // Runs op on the record. When it fails because the device wants a PIN and
  // none was given, prompts once (standard input being a terminal) and
  // retries. A thrown `long` becomes a Failure.
  bool Run(const std::function<bool(keydepot::CertInfo*)>& op);

  // Throws the Failure for the code the last call left (KDPGetLastError),
  // telling a missing device from a missing item.
  [[noreturn]] void Fail(const std::string& what);

 private:
  std::string path_;
  PinOptions pinOptions_;
  bool stdinTaken_;
  std::optional<DeviceSession> session_;
  SecretPin pin_;
  keydepot::CertInfo record_;
};

}  // namespace kdcli
