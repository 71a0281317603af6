// The names `keydepot show` gives object identifiers: distinguished-name
// attributes, key algorithms and named curves. One table for every system,
// so the same item reads the same everywhere; the names are the short names
// OpenSSL's tools print.
#pragma once

#include <string_view>

namespace kdcli {

// "CN", "O", "emailAddress"...; empty for an attribute without a short name.
std::string_view AttributeShortName(std::string_view oid);

struct KeyAlgorithm {
  std::string_view name;  // "RSA", "EC", "ED25519"...
  int bits;               // the size the algorithm fixes; 0: the key's own
  bool namedCurves;       // sized by its curve (EC)
};
const KeyAlgorithm* FindKeyAlgorithm(std::string_view oid);

struct NamedCurve {
  std::string_view name;  // "prime256v1", "secp384r1"...
  int bits;
};
const NamedCurve* FindNamedCurve(std::string_view oid);

}  // namespace kdcli
