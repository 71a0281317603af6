// PKCS#11 URIs (RFC 7512) as storage paths, and the URIs of tokens and their
// objects for other PKCS#11 programs (p11tool, pkcs11-tool, browsers).
//
// A URI names a token by its token attributes (token=, serial=,
// manufacturer=, model=, any of them) and, optionally, an item or key
// container on it: object= (the name), id= (CKA_ID: the key container whose
// objects carry it; wins over object=), type= (data: an item; cert, private,
// public: a key container). It resolves to the device path of the one
// attached token that matches. Refused: a PIN in the URI (pin-value=,
// pin-source=: PINs never come from a command line), a module (module-name=,
// module-path=: modules come only from the trusted module list), library-
// and slot- attributes, attributes keydepot does not know, and type=
// secret-key. Parsing and formatting are p11-kit's; the Windows build has no
// p11-kit and refuses every URI (pkcs11_uri_windows.cc).
#pragma once

#include <keydepot/ad/token_info.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kdcli {

// Whether the text is meant as a PKCS#11 URI: it begins with "pkcs11:" in
// any case.
bool IsPkcs11Uri(std::string_view text);

class Pkcs11Uri {
 public:
  // Parses and checks the URI; throws Failure (kBadPath) for one that does
  // not parse or that asks for what keydepot refuses. The message never
  // repeats the URI, which may carry a PIN.
  explicit Pkcs11Uri(const std::string& uri);
  ~Pkcs11Uri();
  Pkcs11Uri(const Pkcs11Uri&) = delete;
  Pkcs11Uri& operator=(const Pkcs11Uri&) = delete;

  bool MatchesToken(const AD_TokenInfo& token) const;
  // object=, decoded; empty when absent.
  const std::string& object() const { return object_; }
  // id=, decoded; nothing when absent.
  const std::optional<std::vector<std::uint8_t>>& id() const { return id_; }
  // type= as the URI spells it ("data", "cert", "private", "public"); empty
  // when absent.
  const std::string& type() const { return type_; }

 private:
  struct Parsed;
  std::unique_ptr<Parsed> parsed_;
  std::string object_, type_;
  std::optional<std::vector<std::uint8_t>> id_;
};

// The URI of a token (type: nullptr) or of an object on it; nothing where
// there are no URIs (Windows).
std::optional<std::string> TokenUri(const AD_TokenInfo& token, const std::string& object = {},
                                    const char* type = nullptr);

// A device's token fields; nothing for a device that is no PKCS#11 token.
std::optional<AD_TokenInfo> TokenInfoOf(IAD_Device* device);

// The device path (container field: the item or container) the URI names,
// among the devices of the process-wide silent session. Throws Failure:
// kNotFound when no attached token matches or no container carries the id,
// kBadPath when several tokens match (it lists them) or the name cannot go
// into a device path.
std::string ResolvePkcs11Uri(const Pkcs11Uri& uri);

}  // namespace kdcli
