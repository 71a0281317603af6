#include "key_containers.h"

#include "object_search.h"
#include "store/hex.h"
#include "store/names.h"

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
    if (FAILED(hr)) return hr;
    for (const CK_OBJECT_HANDLE object : found) {
      std::vector<std::uint8_t> id, label;
      hr = ReadAttribute(session, object, CKA_ID, &id);
      if (SUCCEEDED(hr) && !id.empty()) hr = ReadAttribute(session, object, CKA_LABEL, &label);
      if (FAILED(hr)) return hr;
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
  const HRESULT hr = ReadContainers(session, &containers);
  if (FAILED(hr)) return hr;
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
  const HRESULT hr = ReadContainers(session, &containers);
  if (FAILED(hr)) return hr;
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

HRESULT ContainerExists(TokenSession& session, const char* name, bool* exists) {
  ContainerObjects found;
  const HRESULT hr = FindContainer(session, name, &found);
  *exists = SUCCEEDED(hr) && found.exists;
  return hr;
}

}  // namespace nodyx::pkcs11
