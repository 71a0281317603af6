#include "container_of_id.h"

#include "object_search.h"
#include "store/hex.h"
#include "store/names.h"
#include "kdplatform/return_if_failed.h"

#include <vector>

namespace nodyx::pkcs11 {

HRESULT ContainerOfId(TokenSession& session, std::span<const std::uint8_t> id, std::string* name) {
  name->clear();
  if (id.empty()) return S_OK;
  // The classes in the order their labels name a container (key_containers.h).
  constexpr CK_OBJECT_CLASS kKeyClasses[] = {CKO_PRIVATE_KEY, CKO_CERTIFICATE, CKO_PUBLIC_KEY};
  std::vector<std::uint8_t> idBytes(id.begin(), id.end());
  bool seen = false;
  for (CK_OBJECT_CLASS keyClass : kKeyClasses) {
    CK_BBOOL onToken = CK_TRUE;
    CK_ATTRIBUTE match[] = {{CKA_CLASS, &keyClass, sizeof keyClass},
                            {CKA_TOKEN, &onToken, sizeof onToken},
                            {CKA_ID, idBytes.data(), static_cast<CK_ULONG>(idBytes.size())}};
    std::vector<CK_OBJECT_HANDLE> found;
    HRESULT hr = FindObjects(session, match, &found);
    KD_RETURN_IF_FAILED(hr);
    for (const CK_OBJECT_HANDLE object : found) {
      seen = true;
      std::vector<std::uint8_t> label;
      hr = ReadAttribute(session, object, CKA_LABEL, &label);
      KD_RETURN_IF_FAILED(hr);
      if (!label.empty()) {
        name->assign(label.begin(), label.end());
        break;
      }
    }
    if (!name->empty()) break;
  }
  if (seen && name->empty()) *name = ToHex(idBytes.data(), idBytes.size());
  if (!IsValidObjectName(*name)) name->clear();
  return S_OK;
}

}  // namespace nodyx::pkcs11
