#include "keydepot/cert_info.h"

namespace keydepot {

CertInfo::CertInfo() = default;

CertInfo::CertInfo(const CertInfo& other)
    : path(other.path),
      auxValue(other.auxValue),
      data(other.data),
      deviceId(other.deviceId),
      auxText(other.auxText),
      pin(other.pin),
      session(other.session) {}

CertInfo& CertInfo::operator=(const CertInfo& other) {
  if (this != &other) {
    path = other.path;
    auxText = other.auxText;
    deviceId = other.deviceId;
  }
  auxValue = other.auxValue;
  data = other.data;
  pin = other.pin;
  session = other.session;
  return *this;
}

CertInfo::~CertInfo() = default;

}  // namespace keydepot
