// The walk through a certificate's DER that a PKCS#11 certificate object's
// attributes come from: any bytes, and fields always inside them.
#include "pkcs11/certificate_der.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void CheckWithin(nodyx::pkcs11::DerBytes field, const std::uint8_t* data, std::size_t size) {
  if (!field.empty() && (field.data() < data || field.data() + field.size() > data + size)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nodyx::pkcs11::CertificateFields fields;
  if (!nodyx::pkcs11::ReadCertificateFields(nodyx::pkcs11::DerBytes(data, size), &fields)) return 0;
  // Every field but the key bits has at least a tag and a length.
  if (fields.serial.empty() || fields.issuer.empty() || fields.subject.empty()) std::abort();
  CheckWithin(fields.serial, data, size);
  CheckWithin(fields.issuer, data, size);
  CheckWithin(fields.subject, data, size);
  CheckWithin(fields.publicKey, data, size);
  return 0;
}
