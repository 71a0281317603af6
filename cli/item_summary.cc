#include "item_summary.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>

namespace kdcli {

namespace {

constexpr std::size_t kPreviewBytes = 16;
constexpr std::size_t kSmallestPreviewed = 64;

template <class T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using Cert = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Request = std::unique_ptr<X509_REQ, Deleter<X509_REQ, X509_REQ_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Sig = std::unique_ptr<X509_SIG, Deleter<X509_SIG, X509_SIG_free>>;
using Bundle = std::unique_ptr<PKCS12, Deleter<PKCS12, PKCS12_free>>;

// Runs an OpenSSL d2i function on the whole of der; nothing unless it reads
// every byte.
template <class T, class Decode>
T DecodeWhole(const unsigned char* der, long size, Decode decode) {
  const unsigned char* p = der;
  T object(decode(&p));
  if (object && p != der + size) object.reset();
  return object;
}

std::string NameText(const X509_NAME* name) {
  Bio bio(BIO_new(BIO_s_mem()));
  const unsigned long flags = (XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB & ~XN_FLAG_SPC_EQ) | ASN1_STRFLGS_UTF8_CONVERT;
  if (!bio || X509_NAME_print_ex(bio.get(), name, 0, flags) < 0) return {};
  char* text = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &text);
  return std::string(text, static_cast<std::size_t>(length));
}

std::string TimeText(const ASN1_TIME* time) {
  std::tm tm{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &tm) != 1) return {};
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

Json KeyJson(const EVP_PKEY* key) {
  const char* type = EVP_PKEY_get0_type_name(key);
  Json j = {{"type", type != nullptr ? type : "unknown"}, {"bits", EVP_PKEY_get_bits(key)}};
  char group[80];
  std::size_t length = 0;
  if (EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1) j["group"] = group;
  return j;
}

Json CertificateJson(X509* cert) {
  Json j = {{"kind", "certificate"},
            {"subject", NameText(X509_get_subject_name(cert))},
            {"issuer", NameText(X509_get_issuer_name(cert))}};
  std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>> serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr));
  char* hex = serial ? BN_bn2hex(serial.get()) : nullptr;
  j["serial"] = hex != nullptr ? hex : "";
  OPENSSL_free(hex);
  j["not_before"] = TimeText(X509_get0_notBefore(cert));
  j["not_after"] = TimeText(X509_get0_notAfter(cert));
  j["validity"] = X509_cmp_current_time(X509_get0_notBefore(cert)) > 0   ? "not yet valid"
                  : X509_cmp_current_time(X509_get0_notAfter(cert)) < 0 ? "expired"
                                                                           : "valid";
  if (const EVP_PKEY* key = X509_get0_pubkey(cert)) j["key"] = KeyJson(key);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestSize = 0;
  std::string fingerprint;
  if (X509_digest(cert, EVP_sha256(), digest, &digestSize) == 1) {
    for (unsigned int i = 0; i < digestSize; ++i) {
      if (i > 0) fingerprint += ':';
      fingerprint += HexBytes(digest + i, 1);
    }
  }
  j["sha256"] = fingerprint;
  return j;
}

Json KeyObject(const char* kind, const EVP_PKEY* key) { return {{"kind", kind}, {"key", KeyJson(key)}}; }

// The DER object, guessing its kind; null when it is none of them.
Json DescribeDer(const unsigned char* der, long size) {
  if (auto cert = DecodeWhole<Cert>(der, size, [&](const unsigned char** p) { return d2i_X509(nullptr, p, size); })) {
    return CertificateJson(cert.get());
  }
  if (auto request =
          DecodeWhole<Request>(der, size, [&](const unsigned char** p) { return d2i_X509_REQ(nullptr, p, size); })) {
    Json j = {{"kind", "certificate request"}, {"subject", NameText(X509_REQ_get_subject_name(request.get()))}};
    if (const EVP_PKEY* key = X509_REQ_get0_pubkey(request.get())) j["key"] = KeyJson(key);
    return j;
  }
  if (auto key = DecodeWhole<Key>(der, size, [&](const unsigned char** p) { return d2i_PUBKEY(nullptr, p, size); })) {
    return KeyObject("public key", key.get());
  }
  if (auto key =
          DecodeWhole<Key>(der, size, [&](const unsigned char** p) { return d2i_AutoPrivateKey(nullptr, p, size); })) {
    return KeyObject("private key", key.get());
  }
  if (DecodeWhole<Sig>(der, size, [&](const unsigned char** p) { return d2i_X509_SIG(nullptr, p, size); })) {
    return {{"kind", "encrypted private key"}};
  }
  if (DecodeWhole<Bundle>(der, size, [&](const unsigned char** p) { return d2i_PKCS12(nullptr, p, size); })) {
    return {{"kind", "PKCS#12 bundle"}};
  }
  return nullptr;
}

Json DescribePemBlock(const std::string& label, const std::string& header, const unsigned char* der, long size) {
  if (header.find("ENCRYPTED") != std::string::npos) return {{"kind", "encrypted private key"}, {"label", label}};
  if (label == "ENCRYPTED PRIVATE KEY") return {{"kind", "encrypted private key"}};
  if (label == "RSA PUBLIC KEY") {
    if (auto key = DecodeWhole<Key>(
            der, size, [&](const unsigned char** p) { return d2i_PublicKey(EVP_PKEY_RSA, nullptr, p, size); })) {
      return KeyObject("public key", key.get());
    }
  }
  Json j = DescribeDer(der, size);
  if (j.is_null()) {
    const bool privateKey = label.find("PRIVATE KEY") != std::string::npos;
    j = {{"kind", privateKey ? "private key" : "other"}, {"label", label}};
  }
  return j;
}

// Every PEM block of the text; empty when there is none.
Json DescribePem(const unsigned char* data, std::size_t size) {
  Json objects = Json::array();
  Bio bio(BIO_new_mem_buf(data, static_cast<int>(size)));
  for (;;) {
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* der = nullptr;
    long length = 0;
    if (!bio || PEM_read_bio(bio.get(), &name, &header, &der, &length) != 1) break;
    objects.push_back(DescribePemBlock(name, header, der, length));
    OPENSSL_free(name);
    OPENSSL_free(header);
    OPENSSL_clear_free(der, static_cast<std::size_t>(length));  // may be a key
  }
  return objects;
}

std::string KeyText(const Json& key) {
  std::string text = key.value("type", "unknown") + " " + std::to_string(key.value("bits", 0)) + " bits";
  if (key.contains("group")) text += " (" + key["group"].get<std::string>() + ")";
  return text;
}

std::string ObjectLine(const Json& object) {
  std::string line = object["kind"].get<std::string>();
  if (object.contains("subject")) line += " " + object["subject"].get<std::string>();
  std::string details;
  if (object.contains("key")) details = KeyText(object["key"]);
  if (object.contains("not_after")) details += ", until " + object["not_after"].get<std::string>().substr(0, 10);
  if (object.contains("label")) details += (details.empty() ? "" : ", ") + object["label"].get<std::string>();
  return details.empty() ? line : line + " (" + details + ")";
}

}  // namespace

Json DescribeItem(const unsigned char* data, std::size_t size, bool preview) {
  Json j = {{"bytes", size}};
  Json objects = Json::array();
  const bool big = size > 0x7FFFFFFF;
  if (!big && size > 0) objects = DescribePem(data, size);
  if (!objects.empty()) {
    j["encoding"] = "PEM";
  } else if (!big && size > 0 && data[0] == 0x30) {
    Json object = DescribeDer(data, static_cast<long>(size));
    if (!object.is_null()) objects.push_back(object);
  }
  if (!j.contains("encoding")) j["encoding"] = objects.empty() ? "unknown" : "DER";
  ERR_clear_error();
  j["objects"] = objects;
  if (objects.empty() && preview && size >= kSmallestPreviewed) j["preview"] = HexBytes(data, kPreviewBytes);
  return j;
}

void PrintDescription(const Json& description) {
  std::cout << description["bytes"].get<std::size_t>() << " bytes, " << description["encoding"].get<std::string>()
            << '\n';
  if (description["objects"].empty()) {
    std::cout << (description.contains("preview")
                      ? "unrecognised data; first bytes: " + description["preview"].get<std::string>()
                      : std::string("unrecognised data"))
              << '\n';
  }
  for (const Json& object : description["objects"]) {
    std::cout << '\n' << object["kind"].get<std::string>() << '\n';
    Fields fields;
    for (const char* key : {"label", "subject", "issuer", "serial"}) {
      if (object.contains(key)) fields.push_back({std::string("  ") + key, object[key].get<std::string>()});
    }
    if (object.contains("not_before")) {
      fields.push_back({"  validity", object["not_before"].get<std::string>() + " to " +
                                          object["not_after"].get<std::string>() + " (" +
                                          object["validity"].get<std::string>() + ")"});
    }
    if (object.contains("key")) fields.push_back({"  key", KeyText(object["key"])});
    if (object.contains("sha256")) fields.push_back({"  SHA-256", object["sha256"].get<std::string>()});
    PrintFields(fields);
  }
}

std::string SummaryLine(const Json& description) {
  if (description["objects"].empty()) return "data";
  std::string line;
  for (const Json& object : description["objects"]) line += (line.empty() ? "" : "; ") + ObjectLine(object);
  return line;
}

}  // namespace kdcli
