#include "key_containers.h"

#include "object_search.h"
#include "store/hex.h"
#include "store/names.h"
#include "kdplatform/return_if_failed.h"

#include <algorithm>
#include <map>

namespace nodyx::pkcs11 {

namespace {

// Classes in the order their labels name a container.
constexpr CK_OBJECT_CLASS kKeyClasses[] = {CKO_PRIVATE_KEY, CKO_CERTIFICATE, CKO_PUBLIC_KEY};

struct Container {
  std::string name;
  ContainerObjects objects;
};

bool IsX509(TokenSession& session, CK_OBJECT_HANDLE object) {
  CK_SESSION_HANDLE handle;
  if (FAILED(session.Open(&handle))) return false;
  CK_CERTIFICATE_TYPE type = 0;
  CK_ATTRIBUTE attribute{CKA_CERTIFICATE_TYPE, &type, sizeof type};
  return session.f().C_GetAttributeValue(handle, object, &attribute, 1) == CKR_OK && type == CKC_X_509;
}

// Every container, by CKA_ID; names as the header says, not yet checked.
HRESULT ReadContainers(TokenSession& session, std::map<std::vector<std::uint8_t>, Container>* containers) {
  for (CK_OBJECT_CLASS keyClass : kKeyClasses) {
    CK_BBOOL onToken = CK_TRUE;
    CK_ATTRIBUTE match[] = {{CKA_CLASS, &keyClass, sizeof keyClass}, {CKA_TOKEN, &onToken, sizeof onToken}};
    std::vector<CK_OBJECT_HANDLE> found;
    HRESULT hr = FindObjects(session, match, &found);
    KD_RETURN_IF_FAILED(hr);
    for (const CK_OBJECT_HANDLE object : found) {
      std::vector<std::uint8_t> id, label;
      hr = ReadAttribute(session, object, CKA_ID, &id);
      if (SUCCEEDED(hr) && !id.empty()) hr = ReadAttribute(session, object, CKA_LABEL, &label);
      KD_RETURN_IF_FAILED(hr);
      if (id.empty()) continue;
      Container& container = (*containers)[id];
      if (container.name.empty()) container.name.assign(label.begin(), label.end());
      ContainerObjects& objects = container.objects;
      if (keyClass != CKO_CERTIFICATE) {
        objects.keys.push_back(object);
      } else if (IsX509(session, object)) {
        objects.certificates.push_back(object);
      }
    }
  }
  for (auto& [id, container] : *containers) {
    if (container.name.empty()) container.name = ToHex(id.data(), id.size());
    container.objects.id = id;
    container.objects.exists = IsValidObjectName(container.name);
  }
  return S_OK;
}

// The valid names of the containers `keep` accepts, sorted and distinct.
template <class Keep>
HRESULT Names(TokenSession& session, std::vector<std::string>* names, Keep keep) {
  std::map<std::vector<std::uint8_t>, Container> containers;
  KD_RETURN_IF_FAILED(ReadContainers(session, &containers));
  std::vector<std::string> found;
  for (auto& [id, container] : containers) {
    if (container.objects.exists && keep(container.objects)) found.push_back(std::move(container.name));
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  names->insert(names->end(), found.begin(), found.end());
  return S_OK;
}

}  // namespace

HRESULT ListContainers(TokenSession& session, std::vector<std::string>* names) {
  return Names(session, names, [](const ContainerObjects&) { return true; });
}

HRESULT ListCertificateContainers(TokenSession& session, std::vector<std::string>* names) {
  return Names(session, names, [](const ContainerObjects& objects) { return !objects.certificates.empty(); });
}

HRESULT FindContainer(TokenSession& session, const char* name, ContainerObjects* found) {
  std::map<std::vector<std::uint8_t>, Container> containers;
  KD_RETURN_IF_FAILED(ReadContainers(session, &containers));
  *found = ContainerObjects();
  for (auto& [id, container] : containers) {
    if (!container.objects.exists || container.name != name) continue;
    ContainerObjects& objects = container.objects;
    if (!found->exists) found->id = objects.id;
    found->exists = true;
    found->certificates.insert(found->certificates.end(), objects.certificates.begin(), objects.certificates.end());
    found->keys.insert(found->keys.end(), objects.keys.begin(), objects.keys.end());
  }
  return S_OK;
}

namespace {

// The bits of an EC key's named curve (its CKA_EC_PARAMS, an OBJECT
// IDENTIFIER); 0 for other curves.
DWORD CurveBits(const std::vector<std::uint8_t>& params) {
  static const struct {
    std::vector<std::uint8_t> oid;
    DWORD bits;
  } kCurves[] = {
      {{0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07}, 256},  // P-256
      {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x22}, 384},                    // P-384
      {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x23}, 521},                    // P-521
  };
  for (const auto& curve : kCurves) {
    if (curve.oid == params) return curve.bits;
  }
  return 0;
}

// An RSA key's modulus bits: CKA_MODULUS_BITS where the token keeps it (public
// keys), else the length of the public CKA_MODULUS.
DWORD ModulusBits(TokenSession& session, CK_OBJECT_HANDLE key, CK_ULONG stated) {
  if (stated != 0 && stated != CK_UNAVAILABLE_INFORMATION) return static_cast<DWORD>(stated);
  std::vector<std::uint8_t> modulus;
  if (FAILED(ReadAttribute(session, key, CKA_MODULUS, &modulus))) return 0;
  std::size_t zeros = 0;
  while (zeros < modulus.size() && modulus[zeros] == 0) ++zeros;
  if (zeros == modulus.size()) return 0;
  DWORD bits = static_cast<DWORD>((modulus.size() - zeros) * 8);
  for (std::uint8_t top = modulus[zeros]; (top & 0x80) == 0; top = static_cast<std::uint8_t>(top << 1)) --bits;
  return bits;
}

}  // namespace

HRESULT DescribeKeys(TokenSession& session, const std::vector<CK_OBJECT_HANDLE>& keys,
                     std::vector<AD_KeyObject>* described) {
  CK_SESSION_HANDLE handle;
  KD_RETURN_IF_FAILED(session.Open(&handle));
  static constexpr struct {
    CK_ATTRIBUTE_TYPE type;
    DWORD usage;
  } kUsages[] = {{CKA_SIGN, AD_KEY_USE_SIGN},       {CKA_VERIFY, AD_KEY_USE_VERIFY}, {CKA_DECRYPT, AD_KEY_USE_DECRYPT},
                 {CKA_ENCRYPT, AD_KEY_USE_ENCRYPT}, {CKA_UNWRAP, AD_KEY_USE_UNWRAP}, {CKA_WRAP, AD_KEY_USE_WRAP},
                 {CKA_DERIVE, AD_KEY_USE_DERIVE}};
  static constexpr struct {
    CK_ATTRIBUTE_TYPE type;
    DWORD flag;
  } kFlags[] = {
      {CKA_SENSITIVE, AD_KEY_SENSITIVE}, {CKA_EXTRACTABLE, AD_KEY_EXTRACTABLE}, {CKA_PRIVATE, AD_KEY_PRIVATE}};
  for (const CK_OBJECT_HANDLE key : keys) {
    CK_OBJECT_CLASS objectClass = 0;
    CK_KEY_TYPE keyType = CK_UNAVAILABLE_INFORMATION;
    CK_ULONG modulusBits = 0;
    // One attribute per call: a module answers a call with an attribute
    // the object lacks with an error, and the others then stay unread.
    const auto read = [&](CK_ATTRIBUTE_TYPE type, void* value, CK_ULONG size) {
      CK_ATTRIBUTE attribute{type, value, size};
      return session.f().C_GetAttributeValue(handle, key, &attribute, 1) == CKR_OK;
    };
    read(CKA_CLASS, &objectClass, sizeof objectClass);
    read(CKA_KEY_TYPE, &keyType, sizeof keyType);
    AD_KeyObject object{static_cast<DWORD>(objectClass), static_cast<DWORD>(keyType), 0, 0, 0};
    if (keyType == CKK_RSA) {
      read(CKA_MODULUS_BITS, &modulusBits, sizeof modulusBits);
      object.bits = ModulusBits(session, key, modulusBits);
    } else if (keyType == CKK_EC) {
      std::vector<std::uint8_t> params;
      if (SUCCEEDED(ReadAttribute(session, key, CKA_EC_PARAMS, &params))) object.bits = CurveBits(params);
    }
    for (const auto& use : kUsages) {
      CK_BBOOL value = CK_FALSE;
      if (read(use.type, &value, sizeof value) && value == CK_TRUE) object.usage |= use.usage;
    }
    for (const auto& flag : kFlags) {
      CK_BBOOL value = CK_FALSE;
      if (read(flag.type, &value, sizeof value) && value == CK_TRUE) object.flags |= flag.flag;
    }
    described->push_back(object);
  }
  std::stable_sort(described->begin(), described->end(), [](const AD_KeyObject& a, const AD_KeyObject& b) {
    return a.objectClass == CKO_PRIVATE_KEY && b.objectClass != CKO_PRIVATE_KEY;
  });
  return S_OK;
}

HRESULT ContainerExists(TokenSession& session, const char* name, bool* exists) {
  ContainerObjects found;
  const HRESULT hr = FindContainer(session, name, &found);
  *exists = SUCCEEDED(hr) && found.exists;
  return hr;
}

}  // namespace nodyx::pkcs11
