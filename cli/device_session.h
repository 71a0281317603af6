// The session a command opens for its device work: the process-wide silent
// session, with the device-type filter named by --filter (or the shared
// default file). Closed when the object dies.
#pragma once

#include <keydepot/keydepot.h>

#include <memory>
#include <string>

namespace kdcli {

class DeviceSession {
 public:
  // Throws Failure when the session cannot be opened.
  explicit DeviceSession(const std::string& filterPath);
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  DWORD handle() const { return static_cast<DWORD>(*session_); }

 private:
  std::unique_ptr<keydepot::ad::Session> session_;
};

}  // namespace kdcli
