#include "object_search.h"
#include "kdplatform/return_if_failed.h"

#include <algorithm>

namespace nodyx::pkcs11 {

HRESULT FindObjects(TokenSession& session, std::span<CK_ATTRIBUTE> match, std::vector<CK_OBJECT_HANDLE>* found,
                    std::size_t limit) {
  CK_SESSION_HANDLE handle;
  KD_RETURN_IF_FAILED(session.Open(&handle));
  const CK_FUNCTION_LIST& f = session.f();
  CK_RV rv = f.C_FindObjectsInit(handle, match.data(), match.size());
  if (rv != CKR_OK) return session.Fail(rv);
  CK_OBJECT_HANDLE batch[64];
  while (found->size() < limit) {
    CK_ULONG count = 0;
    const CK_ULONG wanted = static_cast<CK_ULONG>(std::min<std::size_t>(std::size(batch), limit - found->size()));
    rv = f.C_FindObjects(handle, batch, wanted, &count);
    if (rv != CKR_OK || count == 0) break;
    found->insert(found->end(), batch, batch + count);
  }
  // A search must always be ended, or the session cannot start another.
  const CK_RV ended = f.C_FindObjectsFinal(handle);
  if (rv == CKR_OK) rv = ended;
  return rv == CKR_OK ? S_OK : session.Fail(rv);
}

HRESULT ReadAttribute(TokenSession& session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type,
                      std::vector<std::uint8_t>* value) {
  CK_SESSION_HANDLE handle;
  KD_RETURN_IF_FAILED(session.Open(&handle));
  value->clear();
  CK_ATTRIBUTE attribute{type, nullptr, 0};
  CK_RV rv = session.f().C_GetAttributeValue(handle, object, &attribute, 1);
  if (rv == CKR_ATTRIBUTE_TYPE_INVALID || rv == CKR_ATTRIBUTE_SENSITIVE) return S_OK;
  if (rv != CKR_OK) return session.Fail(rv);
  if (attribute.ulValueLen == CK_UNAVAILABLE_INFORMATION || attribute.ulValueLen == 0) return S_OK;
  value->resize(attribute.ulValueLen);
  attribute.pValue = value->data();
  rv = session.f().C_GetAttributeValue(handle, object, &attribute, 1);
  if (rv != CKR_OK) {
    value->clear();
    return session.Fail(rv);
  }
  value->resize(attribute.ulValueLen);
  return S_OK;
}

}  // namespace nodyx::pkcs11
