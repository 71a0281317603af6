// The Windows build has no p11-kit, so it reads and writes no PKCS#11 URIs:
// an RFC 7512 parser of our own is not worth its risk. Every URI is refused.
#include "failure.h"
#include "pkcs11_uri.h"

namespace kdcli {

struct Pkcs11Uri::Parsed {};

Pkcs11Uri::Pkcs11Uri(const std::string& /*uri*/) {
  throw Failure(kBadPath,
                "PKCS#11 URIs are not read on Windows (this build has no p11-kit); name the token by its device "
                "path, \\\\!\\Pkcs11Token\\<identifier>\\<name> (keydepot devices shows each token's)");
}

Pkcs11Uri::~Pkcs11Uri() = default;

bool Pkcs11Uri::MatchesToken(const AD_TokenInfo& /*token*/) const { return false; }

std::optional<std::string> TokenUri(const AD_TokenInfo& /*token*/, const std::string& /*object*/,
                                    const char* /*type*/) {
  return std::nullopt;
}

}  // namespace kdcli
