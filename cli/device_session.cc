#include "device_session.h"

#include "config_notice.h"
#include "failure.h"

namespace kdcli {

DeviceSession::DeviceSession(const std::string& filterPath) {
  WarnAboutIgnoredConfiguration(filterPath);
  try {
    session_ = std::make_unique<keydepot::ad::Session>(filterPath.empty() ? nullptr : filterPath.c_str());
  } catch (long code) {
    const std::string filter = filterPath.empty() ? "the shared device-type filter" : filterPath;
    FailWithHresult("cannot open a device session with " + filter, static_cast<HRESULT>(code));
  }
}

DeviceSession::~DeviceSession() = default;

}  // namespace kdcli
