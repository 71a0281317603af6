#include "oid_names.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kdcli {

namespace {

template <class Table>
auto Find(const Table& table, std::string_view oid) -> decltype(&std::begin(table)->second) {
  const auto it =
      std::find_if(std::begin(table), std::end(table), [&](const auto& entry) { return entry.first == oid; });
  return it == std::end(table) ? nullptr : &it->second;
}

constexpr std::pair<std::string_view, std::string_view> kAttributes[] = {
    {"2.5.4.3", "CN"},
    {"2.5.4.4", "SN"},
    {"2.5.4.5", "serialNumber"},
    {"2.5.4.6", "C"},
    {"2.5.4.7", "L"},
    {"2.5.4.8", "ST"},
    {"2.5.4.9", "street"},
    {"2.5.4.10", "O"},
    {"2.5.4.11", "OU"},
    {"2.5.4.12", "title"},
    {"2.5.4.13", "description"},
    {"2.5.4.15", "businessCategory"},
    {"2.5.4.17", "postalCode"},
    {"2.5.4.41", "name"},
    {"2.5.4.42", "GN"},
    {"2.5.4.43", "initials"},
    {"2.5.4.44", "generationQualifier"},
    {"2.5.4.46", "dnQualifier"},
    {"2.5.4.65", "pseudonym"},
    {"2.5.4.97", "organizationIdentifier"},
    {"1.2.840.113549.1.9.1", "emailAddress"},
    {"1.2.840.113549.1.9.2", "unstructuredName"},
    {"0.9.2342.19200300.100.1.1", "UID"},
    {"0.9.2342.19200300.100.1.25", "DC"},
    {"1.3.6.1.4.1.311.60.2.1.1", "jurisdictionL"},
    {"1.3.6.1.4.1.311.60.2.1.2", "jurisdictionST"},
    {"1.3.6.1.4.1.311.60.2.1.3", "jurisdictionC"},
};

constexpr std::pair<std::string_view, KeyAlgorithm> kAlgorithms[] = {
    {"1.2.840.113549.1.1.1", {"RSA", 0, false}}, {"1.2.840.113549.1.1.10", {"RSA-PSS", 0, false}},
    {"1.2.840.10045.2.1", {"EC", 0, true}},      {"1.2.840.10040.4.1", {"DSA", 0, false}},
    {"1.3.101.110", {"X25519", 253, false}},     {"1.3.101.111", {"X448", 448, false}},
    {"1.3.101.112", {"ED25519", 256, false}},    {"1.3.101.113", {"ED448", 456, false}},
};

constexpr std::pair<std::string_view, NamedCurve> kCurves[] = {
    {"1.2.840.10045.3.1.1", {"prime192v1", 192}},
    {"1.3.132.0.33", {"secp224r1", 224}},
    {"1.2.840.10045.3.1.7", {"prime256v1", 256}},
    {"1.3.132.0.10", {"secp256k1", 256}},
    {"1.3.132.0.34", {"secp384r1", 384}},
    {"1.3.132.0.35", {"secp521r1", 521}},
    {"1.3.36.3.3.2.8.1.1.7", {"brainpoolP256r1", 256}},
    {"1.3.36.3.3.2.8.1.1.11", {"brainpoolP384r1", 384}},
    {"1.3.36.3.3.2.8.1.1.13", {"brainpoolP512r1", 512}},
};

}  // namespace

std::string_view AttributeShortName(std::string_view oid) {
  const auto* name = Find(kAttributes, oid);
  return name != nullptr ? *name : std::string_view();
}

const KeyAlgorithm* FindKeyAlgorithm(std::string_view oid) { return Find(kAlgorithms, oid); }

const NamedCurve* FindNamedCurve(std::string_view oid) { return Find(kCurves, oid); }

}  // namespace kdcli
