// der_reader.h on Windows' CryptoAPI (crypt32.dll).
#include "der_reader.h"

#include <windows.h>
// windows.h first: wincrypt.h needs its types.
#include <wincrypt.h>

#include <limits>
#include <string_view>

namespace kdcli::der {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr std::string_view kRsa = szOID_RSA_RSA;
constexpr std::string_view kRsaPss = szOID_RSA_SSA_PSS;
constexpr std::string_view kEc = szOID_ECC_PUBLIC_KEY;
constexpr std::string_view kDsa = szOID_X957_DSA;

// A structure CryptDecodeObjectEx made, freed when the holder dies. Only
// public parts of an item are decoded (der_reader.h).
class Decoded {
 public:
  Decoded(LPCSTR type, const BYTE* data, std::size_t size) {
    if (size > std::numeric_limits<DWORD>::max() ||
        !CryptDecodeObjectEx(kEncoding, type, data, static_cast<DWORD>(size), CRYPT_DECODE_ALLOC_FLAG, nullptr, &data_,
                             &size_)) {
      data_ = nullptr;
    }
  }
  Decoded(LPCSTR type, Bytes der) : Decoded(type, der.data(), der.size()) {}
  ~Decoded() {
    if (data_ != nullptr) LocalFree(data_);
  }
  Decoded(const Decoded&) = delete;
  Decoded& operator=(const Decoded&) = delete;

  explicit operator bool() const { return data_ != nullptr; }
  template <class T>
  const T& As() const {
    return *static_cast<const T*>(data_);
  }
  const BYTE* bytes() const { return static_cast<const BYTE*>(data_); }
  DWORD size() const { return size_; }

 private:
  void* data_ = nullptr;
  DWORD size_ = 0;
};

// The bits of an unsigned number stored least significant byte first.
int BitsOfLittleEndian(const BYTE* data, std::size_t size) {
  while (size > 0 && data[size - 1] == 0) --size;
  if (size == 0) return 0;
  int bits = static_cast<int>(size - 1) * 8;
  for (BYTE top = data[size - 1]; top != 0; top >>= 1) ++bits;
  return bits;
}

// RSA public key blobs: PUBLICKEYSTRUC, RSAPUBKEY, then the
// modulus, least significant byte first.
int RsaBlobBits(const Decoded& blob) {
  constexpr std::size_t kModulusAt = sizeof(PUBLICKEYSTRUC) + sizeof(RSAPUBKEY);
  if (blob.size() < kModulusAt) return 0;
  const auto& rsa = *reinterpret_cast<const RSAPUBKEY*>(blob.bytes() + sizeof(PUBLICKEYSTRUC));
  const std::size_t modulusBytes = rsa.bitlen / 8;
  if (blob.size() - kModulusAt < modulusBytes) return 0;
  return BitsOfLittleEndian(blob.bytes() + kModulusAt, modulusBytes);
}

Bytes BlobBytes(const CRYPT_OBJID_BLOB& blob) { return {blob.pbData, blob.cbData}; }

int DsaBits(Bytes parameters) {
  const Decoded dss(X509_DSS_PARAMETERS, parameters);
  return dss ? BitsOfLittleEndian(dss.As<CERT_DSS_PARAMETERS>().p.pbData, dss.As<CERT_DSS_PARAMETERS>().p.cbData) : 0;
}

std::optional<KeyFacts> FactsOf(const CERT_PUBLIC_KEY_INFO& info) {
  if (info.Algorithm.pszObjId == nullptr) return std::nullopt;
  KeyFacts facts{info.Algorithm.pszObjId, {}, 0};
  if (facts.algorithm == kRsa || facts.algorithm == kRsaPss) {
    const Decoded blob(RSA_CSP_PUBLICKEYBLOB, info.PublicKey.pbData, info.PublicKey.cbData);
    if (!blob) return std::nullopt;
    facts.bits = RsaBlobBits(blob);
  } else if (facts.algorithm == kEc) {
    facts.curve = ObjectIdText(BlobBytes(info.Algorithm.Parameters));
  } else if (facts.algorithm == kDsa) {
    facts.bits = DsaBits(BlobBytes(info.Algorithm.Parameters));
  }
  return facts;
}

// The universal tag of a decoded name value's type; 0 for an encoded one.
std::uint8_t TagOf(DWORD valueType) {
  switch (valueType & CERT_RDN_TYPE_MASK) {
    case CERT_RDN_OCTET_STRING: return 4;
    case CERT_RDN_NUMERIC_STRING: return 18;
    case CERT_RDN_PRINTABLE_STRING: return 19;
    case CERT_RDN_TELETEX_STRING: return 20;
    case CERT_RDN_VIDEOTEX_STRING: return 21;
    case CERT_RDN_IA5_STRING: return 22;
    case CERT_RDN_GRAPHIC_STRING: return 25;
    case CERT_RDN_VISIBLE_STRING: return 26;
    case CERT_RDN_GENERAL_STRING: return 27;
    case CERT_RDN_UNIVERSAL_STRING: return 28;
    case CERT_RDN_BMP_STRING: return 30;
    case CERT_RDN_UTF8_STRING: return 12;
    default: return 0;
  }
}

// The value's encoding again: CryptoAPI hands 8-bit strings over as they
// were, UTF8String and BMPString as UTF-16, UniversalString as 32-bit
// integers, unknown types encoded.
std::vector<std::uint8_t> ValueEncoding(const CERT_RDN_ATTR& attr) {
  const BYTE* data = attr.Value.pbData;
  const std::size_t size = attr.Value.cbData;
  const std::uint8_t tag = TagOf(attr.dwValueType);
  if (tag == 0) return {data, data + size};
  std::vector<std::uint8_t> content;
  if (tag == 12 && size > 0) {
    const auto* text = reinterpret_cast<const wchar_t*>(data);
    const int units = static_cast<int>(size / sizeof(wchar_t));
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    content.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    if (length > 0) {
      WideCharToMultiByte(CP_UTF8, 0, text, units, reinterpret_cast<char*>(content.data()), length, nullptr, nullptr);
    }
  } else if (tag == 30 || tag == 28) {
    const std::size_t width = tag == 30 ? 2 : 4;
    for (std::size_t i = 0; i + width <= size; i += width) {
      for (std::size_t b = width; b-- > 0;) content.push_back(data[i + b]);  // big-endian on the wire
    }
  } else {
    content.assign(data, data + size);
  }
  std::vector<std::uint8_t> value{tag};
  AppendDerLength(content.size(), &value);
  value.insert(value.end(), content.begin(), content.end());
  return value;
}

Name NameOf(Bytes encoded) {
  Name name;
  const Decoded info(X509_NAME, encoded);
  if (!info) return name;
  const auto& names = info.As<CERT_NAME_INFO>();
  for (DWORD i = 0; i < names.cRDN; ++i) {
    auto& relative = name.emplace_back();
    for (DWORD j = 0; j < names.rgRDN[i].cRDNAttr; ++j) {
      const CERT_RDN_ATTR& attr = names.rgRDN[i].rgRDNAttr[j];
      relative.push_back({attr.pszObjId != nullptr ? attr.pszObjId : "", ValueEncoding(attr)});
    }
  }
  return name;
}

UtcTime TimeOf(const FILETIME& time) {
  SYSTEMTIME t{};
  if (!FileTimeToSystemTime(&time, &t)) return {};
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace

std::optional<CertificateFacts> ReadCertificate(Bytes der) {
  if (der.size() > std::numeric_limits<DWORD>::max()) return std::nullopt;
  PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
  if (cert == nullptr) return std::nullopt;
  const CERT_INFO& info = *cert->pCertInfo;
  CertificateFacts facts;
  facts.subject = NameOf(BlobBytes(info.Subject));
  facts.issuer = NameOf(BlobBytes(info.Issuer));
  // The serial number comes least significant byte first, two's complement.
  std::vector<std::uint8_t> serial(info.SerialNumber.pbData, info.SerialNumber.pbData + info.SerialNumber.cbData);
  facts.negativeSerial = !serial.empty() && (serial.back() & 0x80) != 0;
  if (facts.negativeSerial) {
    unsigned carry = 1;
    for (auto& b : serial) {
      const unsigned sum = static_cast<std::uint8_t>(~b) + carry;
      b = static_cast<std::uint8_t>(sum);
      carry = sum >> 8;
    }
  }
  facts.serial.assign(serial.rbegin(), serial.rend());
  facts.notBefore = TimeOf(info.NotBefore);
  facts.notAfter = TimeOf(info.NotAfter);
  facts.key = FactsOf(info.SubjectPublicKeyInfo);
  CertFreeCertificateContext(cert);
  return facts;
}

// A PKCS#10 request, taken apart element by element (Wine has no decoder
// for it): the signed information (version, subject, key), the signature's
// algorithm, the signature.
std::optional<RequestFacts> ReadRequest(Bytes der) {
  const auto request = Sequence(der, {0x30, 0x30, 0x03});
  if (!request || request->size() != 3) return std::nullopt;
  const auto info = Sequence(Whole((*request)[0]), {0x02, 0x30, 0x30});
  const Decoded key(X509_PUBLIC_KEY_INFO, info ? Whole((*info)[2]) : Bytes());
  if (!key) return std::nullopt;
  return RequestFacts{NameOf(Whole((*info)[1])), FactsOf(key.As<CERT_PUBLIC_KEY_INFO>())};
}

std::optional<KeyFacts> ReadPublicKey(Bytes der) {
  const Decoded info(X509_PUBLIC_KEY_INFO, der);
  return info ? FactsOf(info.As<CERT_PUBLIC_KEY_INFO>()) : std::nullopt;
}

std::optional<KeyFacts> ReadRsaPublicKey(Bytes der) {
  const Decoded blob(RSA_CSP_PUBLICKEYBLOB, der);
  if (!blob) return std::nullopt;
  return KeyFacts{std::string(kRsa), {}, RsaBlobBits(blob)};
}

std::string ObjectIdText(Bytes encoded) {
  const Decoded oid(X509_OBJECT_IDENTIFIER, encoded);
  return oid && oid.As<LPSTR>() != nullptr ? std::string(oid.As<LPSTR>()) : std::string();
}

bool IsPkcs12(Bytes der) {
  if (der.size() > std::numeric_limits<DWORD>::max()) return false;
  CRYPT_DATA_BLOB blob{static_cast<DWORD>(der.size()), const_cast<BYTE*>(der.data())};
  return PFXIsPFXBlob(&blob) != FALSE;
}

bool DecodeBase64(std::string_view text, kdp::WipedBytes* bytes) {
  if (text.empty() || text.size() > std::numeric_limits<DWORD>::max()) return false;
  const auto length = static_cast<DWORD>(text.size());
  DWORD size = 0;
  if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr)) return false;
  kdp::WipedBytes decoded(size);
  if (!CryptStringToBinaryA(text.data(), length, CRYPT_STRING_BASE64, decoded.data(), &size, nullptr, nullptr)) {
    return false;
  }
  decoded.Truncate(size);
  *bytes = std::move(decoded);
  return true;
}

}  // namespace kdcli::der
