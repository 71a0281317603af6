#include "data_objects.h"

#include "object_search.h"
#include "result_codes.h"
#include "store/names.h"

#include <algorithm>
#include <cstring>

namespace nodyx::pkcs11 {

namespace {

// PKCS#11 templates point at values the module only reads; each call gets
// its own copies.
struct Values {
  CK_OBJECT_CLASS dataClass = CKO_DATA;
  CK_BBOOL yes = CK_TRUE;
  char application[9] = "keydepot";
};

HRESULT FindItems(TokenSession& session, const char* name, std::vector<CK_OBJECT_HANDLE>* found,
                  std::size_t limit = SIZE_MAX) {
  Values v;
  CK_ATTRIBUTE match[] = {
      {CKA_CLASS, &v.dataClass, sizeof v.dataClass},
      {CKA_TOKEN, &v.yes, sizeof v.yes},
      {CKA_LABEL, const_cast<char*>(name), name != nullptr ? static_cast<CK_ULONG>(std::strlen(name)) : 0},
  };
  // Without a name: every data object.
  return FindObjects(session, std::span(match, name != nullptr ? 3 : 2), found, limit);
}

// The caller's second read of an item that did not fit, in one call: the
// remembered object's label and value together, the value straight into
// the buffer. False, with the buffer wiped, when the object no longer
// carries the name (handles may be reused once an object is gone) or the
// value still does not fit.
bool ReadRemembered(TokenSession& session, CK_SESSION_HANDLE handle, const char* name, BYTE* buffer, DWORD* count) {
  const CK_OBJECT_HANDLE object = session.Remembered(name);
  if (object == CK_INVALID_HANDLE || buffer == nullptr) return false;
  const CK_ULONG length = static_cast<CK_ULONG>(std::strlen(name));
  std::string label(length, '\0');
  CK_ATTRIBUTE both[] = {{CKA_LABEL, label.data(), length}, {CKA_VALUE, buffer, *count}};
  if (session.f().C_GetAttributeValue(handle, object, both, 2) == CKR_OK && both[0].ulValueLen == length &&
      label == name) {
    *count = static_cast<DWORD>(both[1].ulValueLen);
    return true;
  }
  SecureZeroMemory(buffer, *count);
  return false;
}

// The first object the token finds with the name, and the size of its value.
HRESULT FindValue(TokenSession& session, CK_SESSION_HANDLE handle, const char* name, CK_OBJECT_HANDLE* object,
                  CK_ULONG* size) {
  std::vector<CK_OBJECT_HANDLE> found;
  const HRESULT hr = FindItems(session, name, &found, 1);
  if (FAILED(hr)) return hr;
  if (found.empty()) return kItemNotFound;
  *object = found.front();
  CK_ATTRIBUTE value{CKA_VALUE, nullptr, 0};
  const CK_RV rv = session.f().C_GetAttributeValue(handle, *object, &value, 1);
  if (rv != CKR_OK) return session.Fail(rv);
  *size = value.ulValueLen;
  return S_OK;
}

}  // namespace

HRESULT ReadItem(TokenSession& session, const char* name, BYTE* buffer, DWORD* count) {
  CK_SESSION_HANDLE handle;
  HRESULT hr = session.Open(&handle);
  if (SUCCEEDED(hr) && ReadRemembered(session, handle, name, buffer, count)) return S_OK;
  CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
  CK_ULONG length = 0;
  if (SUCCEEDED(hr)) hr = FindValue(session, handle, name, &object, &length);
  if (FAILED(hr)) return hr;
  if (length == CK_UNAVAILABLE_INFORMATION || length > 0xFFFFFFFFu) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  const auto size = static_cast<DWORD>(length);
  if (size > *count) {
    session.Remember(name, object);  // the caller comes back with a larger buffer
  } else if (size > 0) {
    // Straight into the caller's buffer: item bytes are secrets, and no
    // copy of them is left behind here.
    CK_ATTRIBUTE value{CKA_VALUE, buffer, size};
    const CK_RV rv = session.f().C_GetAttributeValue(handle, object, &value, 1);
    if (rv != CKR_OK) return session.Fail(rv);
  }
  *count = size;
  return S_OK;
}

HRESULT WriteItem(TokenSession& session, const char* name, const BYTE* data, DWORD count) {
  std::vector<CK_OBJECT_HANDLE> old;
  HRESULT hr = FindItems(session, name, &old);
  if (FAILED(hr)) return hr;
  CK_SESSION_HANDLE handle;
  hr = session.Open(&handle);
  if (FAILED(hr)) return hr;
  Values v;
  BYTE none = 0;
  CK_ATTRIBUTE object[] = {
      {CKA_CLASS, &v.dataClass, sizeof v.dataClass},
      {CKA_TOKEN, &v.yes, sizeof v.yes},
      {CKA_PRIVATE, &v.yes, sizeof v.yes},
      {CKA_LABEL, const_cast<char*>(name), static_cast<CK_ULONG>(std::strlen(name))},
      {CKA_APPLICATION, v.application, static_cast<CK_ULONG>(std::strlen(v.application))},
      {CKA_VALUE, count != 0 ? const_cast<BYTE*>(data) : &none, count},
  };
  CK_OBJECT_HANDLE created = CK_INVALID_HANDLE;
  CK_RV rv = session.f().C_CreateObject(handle, object, std::size(object), &created);
  if (rv != CKR_OK) return session.Fail(rv);
  for (const CK_OBJECT_HANDLE stale : old) {
    rv = session.f().C_DestroyObject(handle, stale);
    if (rv != CKR_OK) {
      // Undone, so that the name keeps meaning the old bytes alone.
      session.f().C_DestroyObject(handle, created);
      return session.Fail(rv);
    }
  }
  return S_OK;
}

HRESULT DeleteItem(TokenSession& session, const char* name) {
  std::vector<CK_OBJECT_HANDLE> found;
  HRESULT hr = FindItems(session, name, &found);
  if (FAILED(hr)) return hr;
  if (found.empty()) return kItemNotFound;
  CK_SESSION_HANDLE handle;
  hr = session.Open(&handle);
  if (FAILED(hr)) return hr;
  for (const CK_OBJECT_HANDLE object : found) {
    const CK_RV rv = session.f().C_DestroyObject(handle, object);
    if (rv != CKR_OK) return session.Fail(rv);
  }
  return S_OK;
}

HRESULT ItemExists(TokenSession& session, const char* name, bool* exists) {
  std::vector<CK_OBJECT_HANDLE> found;
  const HRESULT hr = FindItems(session, name, &found, 1);
  *exists = SUCCEEDED(hr) && !found.empty();
  return hr;
}

HRESULT ListItems(TokenSession& session, std::vector<std::string>* names) {
  std::vector<CK_OBJECT_HANDLE> found;
  HRESULT hr = FindItems(session, nullptr, &found);
  std::vector<std::string> listed;
  for (const CK_OBJECT_HANDLE object : found) {
    if (FAILED(hr)) break;
    std::vector<std::uint8_t> label;
    hr = ReadAttribute(session, object, CKA_LABEL, &label);
    std::string text(label.begin(), label.end());
    if (SUCCEEDED(hr) && IsValidObjectName(text)) listed.push_back(std::move(text));
  }
  if (FAILED(hr)) return hr;
  std::sort(listed.begin(), listed.end());
  listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
  names->insert(names->end(), listed.begin(), listed.end());
  return S_OK;
}

}  // namespace nodyx::pkcs11
