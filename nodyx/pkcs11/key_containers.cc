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

HRESULT ContainerNames(TokenSession& session, std::vector<std::string>* names) {
  std::map<std::vector<std::uint8_t>, std::string> containers;  // CKA_ID -> name
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
      std::string& name = containers[id];
      if (name.empty()) name.assign(label.begin(), label.end());
    }
  }
  for (auto& [id, name] : containers) {
    if (name.empty()) name = ToHex(id.data(), id.size());
    if (IsValidObjectName(name)) names->push_back(std::move(name));
  }
  std::sort(names->begin(), names->end());
  names->erase(std::unique(names->begin(), names->end()), names->end());
  return S_OK;
}

}  // namespace

HRESULT ListContainers(TokenSession& session, std::vector<std::string>* names) {
  std::vector<std::string> found;
  const HRESULT hr = ContainerNames(session, &found);
  if (SUCCEEDED(hr)) names->insert(names->end(), found.begin(), found.end());
  return hr;
}

HRESULT ContainerExists(TokenSession& session, const char* name, bool* exists) {
  std::vector<std::string> found;
  const HRESULT hr = ContainerNames(session, &found);
  *exists = SUCCEEDED(hr) && std::binary_search(found.begin(), found.end(), std::string(name));
  return hr;
}

}  // namespace nodyx::pkcs11
