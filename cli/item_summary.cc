#include "item_summary.h"

#include "der_reader.h"
#include "name_text.h"
#include "oid_names.h"

#include <kdcrypto/crypto.h>
#include <kdplatform/printable_text.h>

#include <chrono>
#include <functional>
#include <cstdio>
#include <optional>
#include <string_view>

namespace kdcli {

namespace {

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

long long Seconds(const der::UtcTime& t) {
  return DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) * 86400 + t.hour * 3600LL +
         t.minute * 60LL + t.second;
}

std::string TimeText(const der::UtcTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

// As big numbers are written in hex: upper case, whole bytes, no leading
// zero bytes, "0" for zero, '-' before a negative one.
std::string SerialText(bool negative, const std::vector<std::uint8_t>& magnitude) {
  std::size_t first = 0;
  while (first < magnitude.size() && magnitude[first] == 0) ++first;
  if (first == magnitude.size()) return "0";
  return (negative ? "-" : "") + HexBytes(magnitude.data() + first, magnitude.size() - first);
}

Json KeyJson(const der::KeyFacts& key) {
  const KeyAlgorithm* algorithm = FindKeyAlgorithm(key.algorithm);
  Json j = {{"type", algorithm != nullptr ? algorithm->name : "unknown"},
            {"bits", algorithm != nullptr && algorithm->bits != 0 ? algorithm->bits : key.bits}};
  if (algorithm != nullptr && algorithm->namedCurves) {
    // A curve given by its parameters has no name: null, never the numbers.
    const NamedCurve* curve = FindNamedCurve(key.curve);
    j["bits"] = curve != nullptr ? curve->bits : 0;
    j["group"] = curve != nullptr ? Json(curve->name) : key.curve.empty() ? Json(nullptr) : Json(key.curve);
  }
  return j;
}

Json CertificateJson(const der::CertificateFacts& cert, der::Bytes der) {
  Json j = {{"kind", "certificate"}, {"subject", NameText(cert.subject)}, {"issuer", NameText(cert.issuer)}};
  j["serial"] = SerialText(cert.negativeSerial, cert.serial);
  j["not_before"] = TimeText(cert.notBefore);
  j["not_after"] = TimeText(cert.notAfter);
  const long long now =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  j["validity"] = Seconds(cert.notBefore) > now ? "not yet valid" : Seconds(cert.notAfter) < now ? "expired" : "valid";
  if (cert.key) j["key"] = KeyJson(*cert.key);
  std::uint8_t digest[kdcrypto::kSha256Bytes];
  std::string fingerprint;
  if (kdcrypto::Sha256(der, digest)) {
    for (std::size_t i = 0; i < sizeof digest; ++i) fingerprint += (i > 0 ? ":" : "") + HexBytes(digest + i, 1);
  }
  j["sha256"] = fingerprint;
  return j;
}

Json KeyObject(const char* kind, const der::KeyFacts& key) { return {{"kind", kind}, {"key", KeyJson(key)}}; }

// The DER object, guessing its kind; null when it is none of them. Private
// keys are recognised first, by their structure alone, so that no system
// decoder ever holds one.
Json DescribeDer(der::Bytes der) {
  const auto whole = der::FirstElement(der);
  if (!whole || whole->size != der.size() || whole->tag != 0x30) return nullptr;
  if (const auto key = der::ReadPrivateKey(der)) return KeyObject("private key", *key);
  if (der::IsEncryptedPrivateKey(der)) return {{"kind", "encrypted private key"}};
  if (const auto cert = der::ReadCertificate(der)) return CertificateJson(*cert, der);
  if (const auto request = der::ReadRequest(der)) {
    Json j = {{"kind", "certificate request"}, {"subject", NameText(request->subject)}};
    if (request->key) j["key"] = KeyJson(*request->key);
    return j;
  }
  if (const auto key = der::ReadPublicKey(der)) return KeyObject("public key", *key);
  if (der::IsPkcs12(der)) return {{"kind", "PKCS#12 bundle"}};
  return nullptr;
}

Json DescribePemBlock(const std::string& label, const std::string& header, der::Bytes der) {
  if (header.find("ENCRYPTED") != std::string::npos) return {{"kind", "encrypted private key"}, {"label", label}};
  if (label == "ENCRYPTED PRIVATE KEY") return {{"kind", "encrypted private key"}};
  if (label == "RSA PUBLIC KEY") {
    const auto whole = der::FirstElement(der);
    if (whole && whole->size == der.size()) {
      if (const auto key = der::ReadRsaPublicKey(der)) return KeyObject("public key", *key);
    }
  }
  Json j = DescribeDer(der);
  if (j.is_null()) {
    const bool privateKey = label.find("PRIVATE KEY") != std::string::npos;
    j = {{"kind", privateKey ? "private key" : "other"}, {"label", label}};
  }
  return j;
}

// Whole groups of four base64 characters, '=' only as padding at the end,
// so that every system's decoder reads the same bytes.
bool IsBase64(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return false;
  const std::size_t padding = text.size() - (text.find_last_not_of('=') + 1);
  if (padding > 2) return false;
  for (const char c : text.substr(0, text.size() - padding)) {
    const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && c != '+' && c != '/') return false;
  }
  return true;
}

// The lines of text, each without its line end.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Calls block(label, header, der) for every PEM block of the text
// ("-----BEGIN label-----", optional header lines ending at an empty line,
// base64 lines, "-----END label-----"); text around the blocks is skipped.
// Reading stops at the first block that is not whole or not base64.
void ForEachPemBlock(const unsigned char* data, std::size_t size,
                     const std::function<void(const std::string&, const std::string&, der::Bytes)>& block) {
  constexpr std::string_view kBegin = "-----BEGIN ", kEnd = "-----END ", kDashes = "-----";
  const auto lines = Lines(std::string_view(reinterpret_cast<const char*>(data), size));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view begin = lines[i];
    if (!begin.starts_with(kBegin) || !begin.ends_with(kDashes) || begin.size() < kBegin.size() + kDashes.size()) {
      continue;
    }
    const std::string label(begin.substr(kBegin.size(), begin.size() - kBegin.size() - kDashes.size()));
    std::string header;
    kdp::WipedBytes body;  // the base64 of what may be a key
    std::size_t at = i + 1;
    if (at < lines.size() && lines[at].find(':') != std::string_view::npos) {
      for (; at < lines.size() && !lines[at].empty(); ++at) header.append(lines[at]).append("\n");
      ++at;
    }
    for (; at < lines.size() && !lines[at].starts_with(kEnd); ++at) {
      for (const char c : lines[at]) {
        if (c != ' ' && c != '\t') body.Append(&c, 1);
      }
    }
    kdp::WipedBytes der;  // may be a key
    const bool whole = at < lines.size() && lines[at] == std::string(kEnd) + label + std::string(kDashes);
    const std::string_view base64(body.chars(), body.size());
    if (!whole || !IsBase64(base64) || !der::DecodeBase64(base64, &der)) break;
    block(label, header, der::Bytes(der.data(), der.size()));
    i = at;
  }
}

// Every PEM block described; empty when there is none.
Json DescribePem(const unsigned char* data, std::size_t size) {
  Json objects = Json::array();
  ForEachPemBlock(data, size, [&](const std::string& label, const std::string& header, der::Bytes der) {
    objects.push_back(DescribePemBlock(label, header, der));
  });
  return objects;
}

// The number of lines when the bytes are text: well-formed UTF-8 without
// control characters other than tab, CR and LF; nothing otherwise. Reads the
// bytes in place: an item may be a password.
std::optional<std::size_t> TextLines(const unsigned char* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t lines = 0;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const std::size_t step = c == '\t' || c == '\r' || c == '\n' ? 1 : kdp::PrintableCharacterSize(text.substr(at));
    if (step == 0) return std::nullopt;
    lines += c == '\n';
    at += step;
  }
  return text.empty() || text.back() == '\n' ? lines : lines + 1;
}

std::string KeyText(const Json& key) {
  std::string text = key.value("type", "unknown");
  if (const int bits = key.value("bits", 0); bits != 0) text += " " + std::to_string(bits) + " bits";
  if (key.contains("group"))
    text += key["group"].is_null() ? " (unnamed curve)" : " (" + key["group"].get<std::string>() + ")";
  return text;
}

// "data", or "text, 3 lines".
std::string UnrecognisedText(const Json& description) {
  if (!description.contains("lines")) return "data";
  const std::size_t lines = description["lines"].get<std::size_t>();
  return "text, " + std::to_string(lines) + (lines == 1 ? " line" : " lines");
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

kdp::WipedBytes CertificateDer(const unsigned char* data, std::size_t size) {
  kdp::WipedBytes der;
  int blocks = 0;
  ForEachPemBlock(data, size, [&](const std::string& label, const std::string&, der::Bytes bytes) {
    if (++blocks == 1 && label == "CERTIFICATE") der.Append(bytes.data(), bytes.size());
  });
  if (blocks == 0) der.Append(data, size);
  if (blocks > 1) der = kdp::WipedBytes();
  return der;
}

Json DescribeItem(const unsigned char* data, std::size_t size) {
  Json j = {{"bytes", size}};
  Json objects = Json::array();
  const bool big = size > 0x7FFFFFFF;
  if (!big && size > 0) objects = DescribePem(data, size);
  if (!objects.empty()) {
    j["encoding"] = "PEM";
  } else if (!big && size > 0 && data[0] == 0x30) {
    Json object = DescribeDer(der::Bytes(data, size));
    if (!object.is_null()) objects.push_back(object);
  }
  if (!j.contains("encoding")) j["encoding"] = objects.empty() ? "unknown" : "DER";
  j["objects"] = objects;
  if (objects.empty() && !big && size > 0) {
    if (const auto lines = TextLines(data, size)) j["lines"] = *lines;
  }
  return j;
}

void PrintDescription(const std::string& path, const Json& description) {
  PrintLine(path + ": " + std::to_string(description["bytes"].get<std::size_t>()) + " bytes, " +
            description["encoding"].get<std::string>());
  if (description["objects"].empty()) PrintLine("unrecognised " + UnrecognisedText(description));
  for (const Json& object : description["objects"]) {
    PrintLine("");
    PrintLine(object["kind"].get<std::string>());
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
  if (description["objects"].empty()) return UnrecognisedText(description);
  std::string line;
  for (const Json& object : description["objects"]) line += (line.empty() ? "" : "; ") + ObjectLine(object);
  return line;
}

}  // namespace kdcli
