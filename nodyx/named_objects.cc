#include "named_objects.h"

#include "store/names.h"

namespace nodyx {

HRESULT StorageItem::GetName(char* name) {
  if (name == nullptr) return E_POINTER;
  CopyTruncated(name_, name, AD_NAME_BUFFER);
  return S_OK;
}

HRESULT Container::GetName(char* name) {
  if (name == nullptr) return E_POINTER;
  CopyTruncated(name_, name, AD_NAME_BUFFER);
  return S_OK;
}

}  // namespace nodyx
