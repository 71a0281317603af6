// der_reader.h on OpenSSL's libcrypto.
#include "der_reader.h"

#include <openssl/asn1.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <ctime>
#include <limits>
#include <memory>

namespace kdcli::der {

namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using Cert = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Request = std::unique_ptr<X509_REQ, Deleter<X509_REQ, X509_REQ_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Object = std::unique_ptr<ASN1_OBJECT, Deleter<ASN1_OBJECT, ASN1_OBJECT_free>>;
using Bundle = std::unique_ptr<PKCS12, Deleter<PKCS12, PKCS12_free>>;

// Runs an OpenSSL d2i function on the whole of der; nothing unless it reads
// every byte. OpenSSL's error queue is left empty either way.
template <class T, class Decode>
T DecodeWhole(Bytes der, Decode decode) {
  if (der.size() > static_cast<std::size_t>(std::numeric_limits<long>::max())) return T();
  const unsigned char* p = der.data();
  T object(decode(&p, static_cast<long>(der.size())));
  if (object && p != der.data() + der.size()) object.reset();
  ERR_clear_error();
  return object;
}

std::string Dotted(const ASN1_OBJECT* object) {
  char text[128];
  const int length = OBJ_obj2txt(text, sizeof text, object, 1);
  return length > 0 && static_cast<std::size_t>(length) < sizeof text
             ? std::string(text, static_cast<std::size_t>(length))
             : std::string();
}

Name NameOf(const X509_NAME* name) {
  Name result;
  int lastSet = -1;
  for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
    const ASN1_STRING* data = X509_NAME_ENTRY_get_data(entry);
    NameAttribute attribute{Dotted(X509_NAME_ENTRY_get_object(entry)), {}};
    // A value's universal tag is its string type.
    const int type = ASN1_STRING_type(data);
    if (type > 0 && type < 31) {
      attribute.value.push_back(static_cast<std::uint8_t>(type));
      AppendDerLength(static_cast<std::size_t>(ASN1_STRING_length(data)), &attribute.value);
      const unsigned char* bytes = ASN1_STRING_get0_data(data);
      attribute.value.insert(attribute.value.end(), bytes, bytes + ASN1_STRING_length(data));
    }
    if (result.empty() || X509_NAME_ENTRY_set(entry) != lastSet) result.emplace_back();
    lastSet = X509_NAME_ENTRY_set(entry);
    result.back().push_back(std::move(attribute));
  }
  return result;
}

UtcTime TimeOf(const ASN1_TIME* time) {
  std::tm t{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &t) != 1) return {};
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

std::optional<KeyFacts> FactsOf(const EVP_PKEY* key) {
  if (key == nullptr) return std::nullopt;
  KeyFacts facts;
  if (const ASN1_OBJECT* algorithm = OBJ_nid2obj(EVP_PKEY_get_base_id(key))) facts.algorithm = Dotted(algorithm);
  char group[80];
  std::size_t length = 0;
  if (EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1) {
    if (const ASN1_OBJECT* curve = OBJ_nid2obj(OBJ_txt2nid(group))) facts.curve = Dotted(curve);
  }
  facts.bits = EVP_PKEY_get_bits(key);
  return facts;
}

}  // namespace

std::optional<CertificateFacts> ReadCertificate(Bytes der) {
  const auto cert = DecodeWhole<Cert>(der, [](const unsigned char** p, long n) { return d2i_X509(nullptr, p, n); });
  if (!cert) return std::nullopt;
  CertificateFacts facts;
  facts.subject = NameOf(X509_get_subject_name(cert.get()));
  facts.issuer = NameOf(X509_get_issuer_name(cert.get()));
  const ASN1_INTEGER* serial = X509_get0_serialNumber(cert.get());
  facts.negativeSerial = ASN1_STRING_type(serial) == V_ASN1_NEG_INTEGER;
  facts.serial.assign(ASN1_STRING_get0_data(serial), ASN1_STRING_get0_data(serial) + ASN1_STRING_length(serial));
  facts.notBefore = TimeOf(X509_get0_notBefore(cert.get()));
  facts.notAfter = TimeOf(X509_get0_notAfter(cert.get()));
  facts.key = FactsOf(X509_get0_pubkey(cert.get()));
  ERR_clear_error();
  return facts;
}

std::optional<RequestFacts> ReadRequest(Bytes der) {
  const auto request =
      DecodeWhole<Request>(der, [](const unsigned char** p, long n) { return d2i_X509_REQ(nullptr, p, n); });
  if (!request) return std::nullopt;
  RequestFacts facts{NameOf(X509_REQ_get_subject_name(request.get())), FactsOf(X509_REQ_get0_pubkey(request.get()))};
  ERR_clear_error();
  return facts;
}

std::optional<KeyFacts> ReadPublicKey(Bytes der) {
  const auto key = DecodeWhole<Key>(der, [](const unsigned char** p, long n) { return d2i_PUBKEY(nullptr, p, n); });
  return key ? FactsOf(key.get()) : std::nullopt;
}

std::optional<KeyFacts> ReadRsaPublicKey(Bytes der) {
  const auto key =
      DecodeWhole<Key>(der, [](const unsigned char** p, long n) { return d2i_PublicKey(EVP_PKEY_RSA, nullptr, p, n); });
  return key ? FactsOf(key.get()) : std::nullopt;
}

std::string ObjectIdText(Bytes encoded) {
  const auto object =
      DecodeWhole<Object>(encoded, [](const unsigned char** p, long n) { return d2i_ASN1_OBJECT(nullptr, p, n); });
  return object ? Dotted(object.get()) : std::string();
}

bool IsPkcs12(Bytes der) {
  return DecodeWhole<Bundle>(der, [](const unsigned char** p, long n) { return d2i_PKCS12(nullptr, p, n); }) != nullptr;
}

bool DecodeBase64(std::string_view text, kdp::WipedBytes* bytes) {
  if (text.empty() || text.size() % 4 != 0 || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return false;
  }
  kdp::WipedBytes decoded(text.size() / 4 * 3);
  const int length = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
  if (length < 0) return false;
  // EVP_DecodeBlock counts the padding as zero bytes.
  const std::size_t padding = (text.back() == '=') + (text.size() > 1 && text[text.size() - 2] == '=');
  decoded.Truncate(static_cast<std::size_t>(length) - padding);
  *bytes = std::move(decoded);
  return true;
}

}  // namespace kdcli::der
