// What the system's certificate library reads out of DER for `keydepot
// show`: the seam between the command and OpenSSL's libcrypto
// (der_reader_openssl.cc, Linux) or Windows' CryptoAPI
// (der_reader_windows.cc), one file per system chosen by CMake. A reader
// hands back plain facts (object identifiers, encoded name values, numbers);
// item_summary.cc turns them into the same text on every system.
//
// Every reader takes one whole DER object (item_summary.cc checks that its
// outer length covers every byte) and returns nothing when the bytes are not
// that kind of object. Key readers describe a key, never copy it: what they
// decode of a private key is wiped before it is freed.
#pragma once

#include <kdplatform/wiped_bytes.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kdcli::der {

using Bytes = std::span<const std::uint8_t>;

// One attribute of a distinguished name: its object identifier (dotted) and
// its value's whole encoding (tag, length and content).
struct NameAttribute {
  std::string oid;
  std::vector<std::uint8_t> value;
};
// The relative distinguished names in encoded order; each holds one or more
// attributes.
using Name = std::vector<std::vector<NameAttribute>>;

struct UtcTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct KeyFacts {
  std::string algorithm;  // the key algorithm's object identifier, dotted
  std::string curve;      // elliptic-curve keys: the named curve's identifier; else empty
  int bits = 0;           // RSA: the modulus's bits, DSA: the prime's; 0 where unknown
};

struct CertificateFacts {
  Name subject;
  Name issuer;
  bool negativeSerial = false;
  std::vector<std::uint8_t> serial;  // the serial number's magnitude, big-endian
  UtcTime notBefore;
  UtcTime notAfter;
  std::optional<KeyFacts> key;
};

struct RequestFacts {
  Name subject;
  std::optional<KeyFacts> key;
};

std::optional<CertificateFacts> ReadCertificate(Bytes der);
// A PKCS#10 certificate request.
std::optional<RequestFacts> ReadRequest(Bytes der);
// A SubjectPublicKeyInfo.
std::optional<KeyFacts> ReadPublicKey(Bytes der);
// A PKCS#1 RSAPublicKey.
std::optional<KeyFacts> ReadRsaPublicKey(Bytes der);
// A PKCS#8 PrivateKeyInfo, a PKCS#1 RSAPrivateKey or a SEC 1 ECPrivateKey.
std::optional<KeyFacts> ReadPrivateKey(Bytes der);
// A PKCS#8 EncryptedPrivateKeyInfo.
bool IsEncryptedPrivateKey(Bytes der);
bool IsPkcs12(Bytes der);

// The first element of der: its tag (one byte; tags above 30 are not read),
// its content and the element's whole size. Nothing for bytes that hold no
// complete element.
struct Element {
  std::uint8_t tag = 0;
  Bytes content;
  std::size_t size = 0;
};
inline std::optional<Element> FirstElement(Bytes der) {
  if (der.size() < 2 || (der[0] & 0x1F) == 0x1F) return std::nullopt;
  std::size_t length = der[1], header = 2;
  if (length > 0x80) {
    const std::size_t count = length & 0x7F;
    if (count > sizeof(std::size_t) || der.size() < 2 + count) return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < count; ++i) length = (length << 8) | der[2 + i];
    header += count;
  } else if (length == 0x80) {
    return std::nullopt;  // indefinite length: not DER
  }
  if (length > der.size() - header) return std::nullopt;
  return Element{der[0], der.subspan(header, length), header + length};
}

// Appends the DER encoding of a length.
inline void AppendDerLength(std::size_t length, std::vector<std::uint8_t>* out) {
  if (length < 0x80) {
    out->push_back(static_cast<std::uint8_t>(length));
    return;
  }
  std::vector<std::uint8_t> bytes;
  for (; length != 0; length >>= 8) bytes.insert(bytes.begin(), static_cast<std::uint8_t>(length & 0xFF));
  out->push_back(static_cast<std::uint8_t>(0x80 | bytes.size()));
  out->insert(out->end(), bytes.begin(), bytes.end());
}

// Base64 text without white space to bytes (which may be a key, hence the
// wiped buffer); false when the text is not base64.
bool DecodeBase64(std::string_view text, kdp::WipedBytes* bytes);

}  // namespace kdcli::der
