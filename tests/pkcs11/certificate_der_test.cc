// The walk through a certificate's DER that a certificate object's
// attributes come from: the fields of a real certificate, and refusals of
// everything that is not exactly one certificate, without reading outside
// the bytes given.
#include "pkcs11/certificate_der.h"
#include "test_certificate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nodyx::pkcs11 {
namespace {

using keydepot::test::Certificate;
using keydepot::test::FromHex;

std::vector<std::uint8_t> Bytes(DerBytes field) { return {field.begin(), field.end()}; }

bool Within(DerBytes field, const std::vector<std::uint8_t>& der) {
  return field.empty() || (field.data() >= der.data() && field.data() + field.size() <= der.data() + der.size());
}

TEST(CertificateDerTest, FieldsOfARealCertificate) {
  const auto der = Certificate();
  CertificateFields fields;
  ASSERT_TRUE(ReadCertificateFields(der, &fields));
  EXPECT_EQ(Bytes(fields.serial), FromHex(keydepot::test::kSerialHex));
  EXPECT_EQ(Bytes(fields.subject), FromHex(keydepot::test::kNameHex));
  EXPECT_EQ(Bytes(fields.issuer), FromHex(keydepot::test::kNameHex));
  ASSERT_EQ(fields.publicKey.size(), 65u);  // an uncompressed P-256 point
  EXPECT_EQ(fields.publicKey[0], 0x04);
}

TEST(CertificateDerTest, RefusesAnythingButExactlyOneCertificate) {
  const auto der = Certificate();
  CertificateFields fields;
  for (std::size_t size = 0; size < der.size(); ++size) {
    EXPECT_FALSE(ReadCertificateFields(DerBytes(der.data(), size), &fields)) << size;
  }
  auto longer = der;
  longer.push_back(0);
  EXPECT_FALSE(ReadCertificateFields(longer, &fields));
  // Two certificates, a private key's shape, text.
  auto two = der;
  two.insert(two.end(), der.begin(), der.end());
  EXPECT_FALSE(ReadCertificateFields(two, &fields));
  EXPECT_FALSE(ReadCertificateFields(FromHex("3003020100"), &fields));
  const std::string pem = "-----BEGIN CERTIFICATE-----\n";
  EXPECT_FALSE(ReadCertificateFields(DerBytes(reinterpret_cast<const std::uint8_t*>(pem.data()), pem.size()), &fields));
  // Indefinite and over-long lengths.
  auto indefinite = der;
  indefinite[1] = 0x80;
  EXPECT_FALSE(ReadCertificateFields(indefinite, &fields));
  EXPECT_FALSE(ReadCertificateFields(FromHex("3089ffffffffffffffffff00"), &fields));
}

// Every byte changed to every value: either refused, or fields inside the
// bytes given (AddressSanitizer builds also catch reads outside them).
TEST(CertificateDerTest, DamagedBytesNeverReadOutside) {
  const auto der = Certificate();
  for (std::size_t at = 0; at < 40; ++at) {
    for (int value = 0; value < 256; ++value) {
      auto damaged = der;
      damaged[at] = static_cast<std::uint8_t>(value);
      CertificateFields fields;
      if (!ReadCertificateFields(damaged, &fields)) continue;
      EXPECT_TRUE(Within(fields.serial, damaged) && Within(fields.issuer, damaged) && Within(fields.subject, damaged) &&
                  Within(fields.publicKey, damaged))
          << at << " " << value;
    }
  }
}

}  // namespace
}  // namespace nodyx::pkcs11
