// PKCS#11 URIs through p11-kit: parsing, matching and formatting are its own.
#include "failure.h"
#include "pkcs11_uri.h"

#include <p11-kit/uri.h>

#include <cstring>
#include <string>

namespace kdcli {

namespace {

struct UriFree {
  void operator()(P11KitUri* uri) const { p11_kit_uri_free(uri); }
};
using UriPtr = std::unique_ptr<P11KitUri, UriFree>;

UriPtr NewUri() {
  UriPtr uri(p11_kit_uri_new());
  if (!uri) throw Failure(kFailed, "out of memory");
  return uri;
}

// The URI formatted with the attributes of `flags` only; query attributes
// (pin-value, module-path, vendor ones) come with every format.
std::string Format(P11KitUri* uri, int flags) {
  char* text = nullptr;
  if (p11_kit_uri_format(uri, static_cast<P11KitUriType>(flags), &text) != P11_KIT_URI_OK || text == nullptr) {
    throw Failure(kFailed, "cannot write a PKCS#11 URI");
  }
  std::string result(text);
  free(text);  // p11-kit's own allocation
  return result;
}

std::optional<std::string> AttributeText(P11KitUri* uri, CK_ATTRIBUTE_TYPE type) {
  const CK_ATTRIBUTE* attribute = p11_kit_uri_get_attribute(uri, type);
  if (attribute == nullptr) return std::nullopt;
  const auto* bytes = static_cast<const char*>(attribute->pValue);
  return std::string(bytes, bytes == nullptr ? 0 : attribute->ulValueLen);
}

[[noreturn]] void Refuse(const std::string& why) { throw Failure(kBadPath, "the PKCS#11 URI " + why); }

const char* ClassName(CK_OBJECT_CLASS objectClass) {
  switch (objectClass) {
    case CKO_DATA: return "data";
    case CKO_CERTIFICATE: return "cert";
    case CKO_PRIVATE_KEY: return "private";
    case CKO_PUBLIC_KEY: return "public";
    default: return nullptr;
  }
}

}  // namespace

struct Pkcs11Uri::Parsed {
  UriPtr uri;
};

Pkcs11Uri::Pkcs11Uri(const std::string& text) : parsed_(std::make_unique<Parsed>(Parsed{NewUri()})) {
  P11KitUri* uri = parsed_->uri.get();
  const int parsed = p11_kit_uri_parse(text.c_str(), P11_KIT_URI_FOR_ANY, uri);
  if (parsed != P11_KIT_URI_OK) Refuse(std::string("does not parse: ") + p11_kit_uri_message(parsed));
  // Checked first, and the URI is never repeated: it may carry a PIN.
  if (p11_kit_uri_get_pin_value(uri) != nullptr || p11_kit_uri_get_pin_source(uri) != nullptr) {
    Refuse(
        "carries a PIN (pin-value or pin-source). keydepot takes a PIN only from --ask-pin, --pin-file, "
        "--pin-fd, --pin-env or --saved-pin, never from a path, which other users can read in the process list");
  }
  if (p11_kit_uri_get_module_name(uri) != nullptr || p11_kit_uri_get_module_path(uri) != nullptr) {
    Refuse(
        "names a module (module-name or module-path). keydepot loads only the modules of its module list; "
        "leave them out and name the token");
  }
  const std::string queryOnly = Format(uri, 0);
  if (Format(uri, P11_KIT_URI_FOR_MODULE_WITH_VERSION) != queryOnly || Format(uri, P11_KIT_URI_FOR_SLOT) != queryOnly) {
    Refuse("has library- or slot- attributes. keydepot names a token by token, serial, manufacturer and model");
  }
  if (p11_kit_uri_any_unrecognized(uri) != 0) {
    Refuse(
        "has an attribute keydepot does not know (it reads token, serial, manufacturer, model, object, id "
        "and type)");
  }
  if (auto label = AttributeText(uri, CKA_LABEL)) object_ = std::move(*label);
  if (auto id = AttributeText(uri, CKA_ID)) id_.emplace(id->begin(), id->end());
  if (const CK_ATTRIBUTE* type = p11_kit_uri_get_attribute(uri, CKA_CLASS)) {
    CK_OBJECT_CLASS objectClass = 0;
    if (type->pValue != nullptr && type->ulValueLen == sizeof objectClass) {
      std::memcpy(&objectClass, type->pValue, sizeof objectClass);
    }
    const char* name = ClassName(objectClass);
    if (name == nullptr) {
      Refuse(
          "names a type keydepot keeps nothing of (it knows data: items, and cert, private, public: key "
          "containers)");
    }
    type_ = name;
  }
  if (id_ && type_ == "data") Refuse("gives an id with type=data; data objects carry no CKA_ID");
  if (id_ && id_->empty()) Refuse("gives an empty id");
}

Pkcs11Uri::~Pkcs11Uri() = default;

bool Pkcs11Uri::MatchesToken(const AD_TokenInfo& token) const {
  CK_TOKEN_INFO info{};
  static_assert(sizeof token.label == sizeof info.label && sizeof token.manufacturer == sizeof info.manufacturerID &&
                sizeof token.model == sizeof info.model && sizeof token.serial == sizeof info.serialNumber);
  std::memcpy(info.label, token.label, sizeof info.label);
  std::memcpy(info.manufacturerID, token.manufacturer, sizeof info.manufacturerID);
  std::memcpy(info.model, token.model, sizeof info.model);
  std::memcpy(info.serialNumber, token.serial, sizeof info.serialNumber);
  return p11_kit_uri_match_token_info(parsed_->uri.get(), &info) == 1;
}

std::optional<std::string> TokenUri(const AD_TokenInfo& token, const std::string& object, const char* type) {
  UriPtr uri = NewUri();
  CK_TOKEN_INFO* info = p11_kit_uri_get_token_info(uri.get());
  std::memcpy(info->label, token.label, sizeof info->label);
  std::memcpy(info->manufacturerID, token.manufacturer, sizeof info->manufacturerID);
  std::memcpy(info->model, token.model, sizeof info->model);
  std::memcpy(info->serialNumber, token.serial, sizeof info->serialNumber);
  if (object.empty()) return Format(uri.get(), P11_KIT_URI_FOR_TOKEN);
  CK_ATTRIBUTE label{CKA_LABEL, const_cast<char*>(object.data()), static_cast<CK_ULONG>(object.size())};
  bool ok = p11_kit_uri_set_attribute(uri.get(), &label) == P11_KIT_URI_OK;
  if (type != nullptr) {
    CK_OBJECT_CLASS objectClass = CKO_DATA;
    for (CK_OBJECT_CLASS c : {CKO_DATA, CKO_CERTIFICATE, CKO_PRIVATE_KEY, CKO_PUBLIC_KEY}) {
      if (std::strcmp(ClassName(c), type) == 0) objectClass = c;
    }
    CK_ATTRIBUTE classAttribute{CKA_CLASS, &objectClass, sizeof objectClass};
    ok = ok && p11_kit_uri_set_attribute(uri.get(), &classAttribute) == P11_KIT_URI_OK;
  }
  if (!ok) throw Failure(kFailed, "cannot write a PKCS#11 URI");
  return Format(uri.get(), P11_KIT_URI_FOR_OBJECT_ON_TOKEN);
}

}  // namespace kdcli
