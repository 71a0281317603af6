// The fields of an X.509 certificate that a PKCS#11 certificate object
// repeats as attributes, found by walking the certificate's DER by tags and
// lengths. The bytes come from whoever calls the component: every length is
// checked against what is left, nothing is read outside `der`, and nothing
// is copied (the fields are views into `der`).
#pragma once

#include <cstdint>
#include <span>

namespace nodyx::pkcs11 {

using DerBytes = std::span<const std::uint8_t>;

// Each field's whole encoding (tag, length and content), but for publicKey.
struct CertificateFields {
  DerBytes serial;   // the serialNumber INTEGER (CKA_SERIAL_NUMBER)
  DerBytes issuer;   // the issuer Name (CKA_ISSUER)
  DerBytes subject;  // the subject Name (CKA_SUBJECT)
  // The bits of the subjectPublicKey BIT STRING (its content after the
  // unused-bits byte): what the key identifier of a certificate and so the
  // CKA_ID of its object is derived from.
  DerBytes publicKey;
};

// False unless `der` is exactly one certificate: a SEQUENCE filling all of
// it, holding the to-be-signed SEQUENCE (optional [0] version, INTEGER
// serial, algorithm SEQUENCE, issuer SEQUENCE, validity SEQUENCE, subject
// SEQUENCE, key-info SEQUENCE of an algorithm SEQUENCE and a BIT STRING of
// whole bytes, optional extras), a signature algorithm SEQUENCE and a BIT
// STRING. Lengths must be definite, in at most 4 bytes.
bool ReadCertificateFields(DerBytes der, CertificateFields* fields);

}  // namespace nodyx::pkcs11
