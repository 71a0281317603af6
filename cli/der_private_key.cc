// der_reader.h's private-key readers and DER walk, the same on every
// system. A private key is never handed to a decoder: decoders copy what
// they read into memory they free later, and the key's private fields would
// be left behind in it. These readers follow the outer structure with
// FirstElement, which looks at tags and lengths only, read the public fields
// that come first (versions, the algorithm, the curve, the modulus) and step
// over the private ones by their lengths. The walk is flat: a fixed number
// of levels, each inside the bounds of the one around it, whatever the
// bytes say.
#include "der_reader.h"

#include <string_view>

namespace kdcli::der {

namespace {

constexpr std::uint8_t kInteger = 0x02, kOctetString = 0x04, kObjectId = 0x06, kSequence = 0x30;
// [0] and [1] EXPLICIT, [1] IMPLICIT BIT STRING.
constexpr std::uint8_t kExplicit0 = 0xA0, kExplicit1 = 0xA1, kImplicit1 = 0x81;

constexpr std::string_view kRsa = "1.2.840.113549.1.1.1";
constexpr std::string_view kRsaPss = "1.2.840.113549.1.1.10";
constexpr std::string_view kEc = "1.2.840.10045.2.1";
constexpr std::string_view kDsa = "1.2.840.10040.4.1";

// The value of a one-byte non-negative INTEGER (a version); -1 for any
// other element.
int Version(const Element& element) {
  if (element.tag != kInteger || element.content.size() != 1 || element.content[0] > 0x7F) return -1;
  return element.content[0];
}

// The bits of a positive INTEGER's value (a public modulus or prime): only
// its leading bytes are looked at. 0 for any other element.
int PositiveBits(const Element& element) {
  if (element.tag != kInteger || element.content.empty() || (element.content[0] & 0x80) != 0) return 0;
  Bytes value = element.content;
  while (!value.empty() && value[0] == 0) value = value.subspan(1);
  constexpr std::size_t kLongest = std::size_t{1} << 20;  // far beyond any key, far below INT_MAX bits
  if (value.empty() || value.size() > kLongest) return 0;
  int bits = static_cast<int>(value.size() - 1) * 8;
  for (std::uint8_t top = value[0]; top != 0; top >>= 1) ++bits;
  return bits;
}

// Whether the children from `from` on carry some of these tags, in this
// order, each at most once.
bool OptionalTail(const std::vector<Element>& children, std::size_t from, std::initializer_list<std::uint8_t> tags) {
  auto tag = tags.begin();
  for (std::size_t i = from; i < children.size(); ++i) {
    while (tag != tags.end() && *tag != children[i].tag) ++tag;
    if (tag == tags.end()) return false;
    ++tag;
  }
  return true;
}

// The identifier of ECParameters that name a curve; empty for a curve given
// by its parameters (or implicitly).
std::string NamedCurve(Bytes parameters) {
  const auto oid = FirstElement(parameters);
  if (!oid || oid->tag != kObjectId || oid->size != parameters.size()) return {};
  return ObjectIdText(parameters);
}

// A SEC 1 ECPrivateKey: version 1, the private key, then the optional [0]
// parameters and [1] public key. *curve: the named curve in [0], if any.
bool ReadEcPrivateKey(Bytes der, std::string* curve) {
  const auto key = Sequence(der, {kInteger, kOctetString});
  if (!key || Version((*key)[0]) != 1 || !OptionalTail(*key, 2, {kExplicit0, kExplicit1})) return false;
  curve->clear();
  if (key->size() > 2 && (*key)[2].tag == kExplicit0) *curve = NamedCurve((*key)[2].content);
  return true;
}

// A PKCS#1 RSAPrivateKey: version, modulus, public exponent, five private
// INTEGERs and, for version 1, the other primes. The fields after the
// modulus count by their tags only.
std::optional<KeyFacts> ReadRsaPrivateKey(Bytes der) {
  const auto key =
      Sequence(der, {kInteger, kInteger, kInteger, kInteger, kInteger, kInteger, kInteger, kInteger, kInteger});
  if (!key) return std::nullopt;
  const int version = Version((*key)[0]);
  const bool twoPrimes = version == 0 && key->size() == 9;
  const bool morePrimes = version == 1 && key->size() == 10 && (*key)[9].tag == kSequence;
  const int bits = PositiveBits((*key)[1]);
  if ((!twoPrimes && !morePrimes) || bits == 0) return std::nullopt;
  return KeyFacts{std::string(kRsa), {}, bits};
}

// The modulus bits of the RSAPrivateKey inside a PKCS#8 key: its second
// field, read without reading any further.
int RsaModulusBits(Bytes der) {
  const auto key = FirstElement(der);
  if (!key || key->tag != kSequence || key->size != der.size()) return 0;
  const auto version = FirstElement(key->content);
  if (!version || Version(*version) < 0) return 0;
  const auto modulus = FirstElement(key->content.subspan(version->size));
  return modulus ? PositiveBits(*modulus) : 0;
}

// Dss-Parms: the prime p first.
int DsaBits(Bytes parameters) {
  const auto dss = Sequence(parameters, {kInteger, kInteger, kInteger});
  return dss && dss->size() == 3 ? PositiveBits((*dss)[0]) : 0;
}

// A PKCS#8 PrivateKeyInfo or OneAsymmetricKey: version, algorithm, the key
// in an OCTET STRING, then the optional [0] attributes and [1] public key.
std::optional<KeyFacts> ReadPkcs8(Bytes der) {
  const auto info = Sequence(der, {kInteger, kSequence, kOctetString});
  if (!info || Version((*info)[0]) < 0 || Version((*info)[0]) > 1 ||
      !OptionalTail(*info, 3, {kExplicit0, kImplicit1})) {
    return std::nullopt;
  }
  const auto algorithm = Children((*info)[1].content);
  if (!algorithm || algorithm->empty() || algorithm->size() > 2 || (*algorithm)[0].tag != kObjectId) {
    return std::nullopt;
  }
  KeyFacts facts{ObjectIdText(Whole((*algorithm)[0])), {}, 0};
  if (facts.algorithm.empty()) return std::nullopt;
  const Bytes parameters = algorithm->size() > 1 ? Whole((*algorithm)[1]) : Bytes();
  const Bytes key = (*info)[2].content;
  if (facts.algorithm == kRsa || facts.algorithm == kRsaPss) {
    facts.bits = RsaModulusBits(key);
    if (facts.bits == 0) return std::nullopt;
  } else if (facts.algorithm == kEc) {
    // The curve is named in the algorithm's parameters or, without them, in
    // the key's own.
    std::string inner;
    if (!ReadEcPrivateKey(key, &inner)) return std::nullopt;
    facts.curve = parameters.empty() ? inner : NamedCurve(parameters);
  } else if (facts.algorithm == kDsa) {
    facts.bits = DsaBits(parameters);
  }
  return facts;
}

}  // namespace

std::optional<std::vector<Element>> Children(Bytes content) {
  std::vector<Element> children;
  while (!content.empty()) {
    const auto child = FirstElement(content);
    if (!child) return std::nullopt;
    children.push_back(*child);
    content = content.subspan(child->size);
  }
  return children;
}

std::optional<std::vector<Element>> Sequence(Bytes der, std::initializer_list<std::uint8_t> tags) {
  const auto outer = FirstElement(der);
  if (!outer || outer->tag != kSequence || outer->size != der.size()) return std::nullopt;
  auto children = Children(outer->content);
  if (!children || children->size() < tags.size()) return std::nullopt;
  std::size_t i = 0;
  for (const std::uint8_t tag : tags) {
    if ((*children)[i++].tag != tag) return std::nullopt;
  }
  return children;
}

std::optional<KeyFacts> ReadPrivateKey(Bytes der) {
  if (auto facts = ReadPkcs8(der)) return facts;
  if (auto facts = ReadRsaPrivateKey(der)) return facts;
  std::string curve;
  if (ReadEcPrivateKey(der, &curve)) return KeyFacts{std::string(kEc), curve, 0};
  return std::nullopt;
}

bool IsEncryptedPrivateKey(Bytes der) {
  const auto info = Sequence(der, {kSequence, kOctetString});
  if (!info || info->size() != 2) return false;
  const auto algorithm = FirstElement((*info)[0].content);
  return algorithm && algorithm->tag == kObjectId;
}

}  // namespace kdcli::der
