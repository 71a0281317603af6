// What `keydepot show` reads out of DER. Certificates, requests, public keys
// and object identifiers are read with the system's certificate library:
// OpenSSL's libcrypto (der_reader_openssl.cc, Linux) or Windows' CryptoAPI
// (der_reader_windows.cc), one file per system chosen by CMake. Private keys
// are never handed to a decoder, which would leave copies of their private
// fields in the memory it frees: der_private_key.cc, the same on every
// system, follows their outer structure by tags and lengths and reads only
// the public fields that come before the private ones. A reader hands back
// plain facts (object identifiers, encoded name values, numbers);
// item_summary.cc turns them into the same text on every system.
//
// Every reader takes one whole DER object (item_summary.cc checks that its
// outer length covers every byte) and returns nothing when the bytes are not
// that kind of object.
#pragma once

#include <kdplatform/wiped_bytes.h>

#include <cstdint>
#include <initializer_list>
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
bool IsPkcs12(Bytes der);
// The dotted text of an encoded OBJECT IDENTIFIER (tag and length
// included); empty when the bytes are not one.
std::string ObjectIdText(Bytes encoded);

// der_private_key.cc, on every system.
// A PKCS#8 PrivateKeyInfo (or OneAsymmetricKey), a PKCS#1 RSAPrivateKey or
// a SEC 1 ECPrivateKey: its algorithm; an elliptic-curve key's named curve
// (empty for a curve given by its parameters); an RSA key's modulus bits
// (the modulus comes before every private field); a DSA key's prime bits
// (from the public parameters). The private fields are stepped over by
// their lengths, never read.
std::optional<KeyFacts> ReadPrivateKey(Bytes der);
// A PKCS#8 EncryptedPrivateKeyInfo; nothing of it is read but its shape.
bool IsEncryptedPrivateKey(Bytes der);

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

// An element's whole encoding (tag and length included).
inline Bytes Whole(const Element& element) {
  return {element.content.data() - (element.size - element.content.size()), element.size};
}

// The elements inside a constructed element's content, which they must fill
// exactly. Only their tags and lengths are read; their contents are views
// into the same bytes.
std::optional<std::vector<Element>> Children(Bytes content);

// The children of der, when it is one SEQUENCE whose children have these
// tags (and possibly more after them).
std::optional<std::vector<Element>> Sequence(Bytes der, std::initializer_list<std::uint8_t> tags);

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
