#include "certificate_der.h"

namespace nodyx::pkcs11 {

namespace {

constexpr std::uint8_t kInteger = 0x02, kBitString = 0x03, kSequence = 0x30, kVersion = 0xA0;

// One element at the front of `rest`, which then holds what follows it.
struct Element {
  std::uint8_t tag = 0;
  DerBytes whole;    // tag, length and content
  DerBytes content;  // the content alone
};

bool Next(DerBytes* rest, Element* element) {
  const DerBytes in = *rest;
  if (in.size() < 2 || (in[0] & 0x1F) == 0x1F) return false;  // short, or a multi-byte tag
  std::size_t length = in[1], header = 2;
  if (length == 0x80) return false;  // indefinite: not DER
  if (length > 0x80) {
    const std::size_t count = length & 0x7F;
    if (count > 4 || in.size() - 2 < count) return false;
    length = 0;
    for (std::size_t i = 0; i < count; ++i) length = (length << 8) | in[2 + i];
    header += count;
  }
  if (length > in.size() - header) return false;
  element->tag = in[0];
  element->whole = in.first(header + length);
  element->content = in.subspan(header, length);
  *rest = in.subspan(header + length);
  return true;
}

// The next element of `rest`, which must have the tag.
bool Take(DerBytes* rest, std::uint8_t tag, Element* element) { return Next(rest, element) && element->tag == tag; }

}  // namespace

bool ReadCertificateFields(DerBytes der, CertificateFields* fields) {
  DerBytes rest = der;
  Element certificate, tbs, element;
  if (!Take(&rest, kSequence, &certificate) || !rest.empty()) return false;
  DerBytes outer = certificate.content;
  if (!Take(&outer, kSequence, &tbs)) return false;
  if (!Take(&outer, kSequence, &element) || !Take(&outer, kBitString, &element) || !outer.empty()) return false;

  DerBytes inner = tbs.content;
  if (!Next(&inner, &element)) return false;
  if (element.tag == kVersion && !Next(&inner, &element)) return false;
  if (element.tag != kInteger || element.content.empty()) return false;
  CertificateFields found;
  found.serial = element.whole;
  if (!Take(&inner, kSequence, &element)) return false;  // signature algorithm
  if (!Take(&inner, kSequence, &element)) return false;
  found.issuer = element.whole;
  if (!Take(&inner, kSequence, &element)) return false;  // validity
  if (!Take(&inner, kSequence, &element)) return false;
  found.subject = element.whole;
  if (!Take(&inner, kSequence, &element)) return false;
  DerBytes keyInfo = element.content;
  if (!Take(&keyInfo, kSequence, &element) || !Take(&keyInfo, kBitString, &element) || !keyInfo.empty()) return false;
  if (element.content.empty() || element.content[0] != 0) return false;
  found.publicKey = element.content.subspan(1);
  // Unique identifiers and extensions may follow; they must still parse.
  while (!inner.empty()) {
    if (!Next(&inner, &element)) return false;
  }
  *fields = found;
  return true;
}

}  // namespace nodyx::pkcs11
