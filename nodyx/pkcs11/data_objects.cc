#include "data_objects.h"

#include "certificate_der.h"
#include "key_containers.h"
#include "object_search.h"
#include "base/result_codes.h"
#include "store/names.h"

#include "kdcrypto/crypto.h"
#include "kdplatform/return_if_failed.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace nodyx::pkcs11 {

namespace {

constexpr DWORD kLengthBytes = 4;

// PKCS#11 templates point at values the module only reads; each call gets
// its own copies.
struct Values {
  CK_OBJECT_CLASS dataClass = CKO_DATA;
  CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
  CK_CERTIFICATE_TYPE x509 = CKC_X_509;
  CK_BBOOL yes = CK_TRUE;
  CK_BBOOL no = CK_FALSE;
  char application[9] = "keydepot";
};

std::uint32_t LengthAt(const BYTE* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Whether the bytes are a device record: their first 4 give the length of
// the rest.
bool IsRecord(const BYTE* bytes, std::size_t count) { return count >= kLengthBytes && LengthAt(bytes) == count - 4; }

// The record of a value read to buffer + 4: its size. A value that is a
// record itself moves to the front; the 4 bytes it leaves are wiped.
DWORD FinishRecord(BYTE* buffer, DWORD size) {
  if (IsRecord(buffer + kLengthBytes, size)) {
    std::memmove(buffer, buffer + kLengthBytes, size);
    SecureZeroMemory(buffer + size, kLengthBytes);
    return size;
  }
  for (DWORD i = 0; i < kLengthBytes; ++i) buffer[i] = static_cast<BYTE>(size >> (8 * i));
  return size + kLengthBytes;
}

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
// carries the name (handles may be reused once an object is gone; a
// certificate named by its container's key is looked up again) or the
// record still does not fit.
bool ReadRemembered(TokenSession& session, CK_SESSION_HANDLE handle, const char* name, BYTE* buffer, DWORD* count) {
  const CK_OBJECT_HANDLE object = session.Remembered(name);
  if (object == CK_INVALID_HANDLE || buffer == nullptr || *count < kLengthBytes) return false;
  const CK_ULONG length = static_cast<CK_ULONG>(std::strlen(name));
  std::string label(length, '\0');
  CK_ATTRIBUTE both[] = {{CKA_LABEL, label.data(), length}, {CKA_VALUE, buffer + kLengthBytes, *count - kLengthBytes}};
  if (session.f().C_GetAttributeValue(handle, object, both, 2) == CKR_OK && both[0].ulValueLen == length &&
      label == name) {
    *count = FinishRecord(buffer, static_cast<DWORD>(both[1].ulValueLen));
    return true;
  }
  SecureZeroMemory(buffer, *count);
  return false;
}

// The objects holding the item: the data objects with the name, else the
// certificates of the container so named. *keysOnly: there is no data
// object, and the container holds keys alone.
HRESULT ItemObjects(TokenSession& session, const char* name, std::vector<CK_OBJECT_HANDLE>* found,
                    bool* keysOnly = nullptr) {
  HRESULT hr = FindItems(session, name, found);
  if (FAILED(hr) || !found->empty()) return hr;
  ContainerObjects container;
  hr = FindContainer(session, name, &container);
  *found = container.certificates;
  if (keysOnly != nullptr) *keysOnly = container.exists && found->empty();
  return hr;
}

// The first object holding the item.
HRESULT FindItemObject(TokenSession& session, const char* name, CK_OBJECT_HANDLE* object) {
  std::vector<CK_OBJECT_HANDLE> found;
  bool keysOnly = false;
  KD_RETURN_IF_FAILED(ItemObjects(session, name, &found, &keysOnly));
  if (found.empty()) return keysOnly ? kKeyNotExported : kItemNotFound;
  *object = found.front();
  return S_OK;
}

HRESULT ValueSize(TokenSession& session, CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ULONG* size) {
  CK_ATTRIBUTE value{CKA_VALUE, nullptr, 0};
  const CK_RV rv = session.f().C_GetAttributeValue(handle, object, &value, 1);
  if (rv != CKR_OK) return session.Fail(rv);
  *size = value.ulValueLen;
  return S_OK;
}

HRESULT ReadValue(TokenSession& session, CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, BYTE* into, DWORD size) {
  CK_ATTRIBUTE value{CKA_VALUE, into, size};
  const CK_RV rv = session.f().C_GetAttributeValue(handle, object, &value, 1);
  return rv == CKR_OK ? S_OK : session.Fail(rv);
}

// Creates the object and then destroys the old ones; undoes the creation
// when one of them stays, so that the name keeps meaning the old bytes alone.
HRESULT CreateReplacing(TokenSession& session, std::span<CK_ATTRIBUTE> object,
                        const std::vector<CK_OBJECT_HANDLE>& old) {
  CK_SESSION_HANDLE handle;
  KD_RETURN_IF_FAILED(session.Open(&handle));
  CK_OBJECT_HANDLE created = CK_INVALID_HANDLE;
  CK_RV rv = session.f().C_CreateObject(handle, object.data(), object.size(), &created);
  if (rv != CKR_OK) return session.Fail(rv);
  for (const CK_OBJECT_HANDLE stale : old) {
    rv = session.f().C_DestroyObject(handle, stale);
    if (rv != CKR_OK) {
      session.f().C_DestroyObject(handle, created);
      return session.Fail(rv);
    }
  }
  return S_OK;
}

}  // namespace

HRESULT ReadItem(TokenSession& session, const char* name, BYTE* buffer, DWORD* count) {
  CK_SESSION_HANDLE handle;
  HRESULT hr = session.Open(&handle);
  if (SUCCEEDED(hr) && ReadRemembered(session, handle, name, buffer, count)) return S_OK;
  CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
  CK_ULONG length = 0;
  if (SUCCEEDED(hr)) hr = FindItemObject(session, name, &object);
  if (SUCCEEDED(hr)) hr = ValueSize(session, handle, object, &length);
  KD_RETURN_IF_FAILED(hr);
  if (length == CK_UNAVAILABLE_INFORMATION || length > 0xFFFFFFFFu - kLengthBytes) {
    return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  }
  const auto size = static_cast<DWORD>(length);
  const DWORD capacity = buffer != nullptr ? *count : 0;
  // Straight into the caller's buffer: item bytes are secrets, and no
  // copy of them is left behind here.
  if (size + kLengthBytes <= capacity) {
    hr = ReadValue(session, handle, object, buffer + kLengthBytes, size);
    if (SUCCEEDED(hr)) *count = FinishRecord(buffer, size);
    return hr;
  }
  // A stored record fits without the 4 bytes a bare value needs in front.
  if (size <= capacity && size >= kLengthBytes) {
    hr = ReadValue(session, handle, object, buffer, size);
    KD_RETURN_IF_FAILED(hr);
    if (IsRecord(buffer, size)) {
      *count = size;
      return S_OK;
    }
    SecureZeroMemory(buffer, size);
  }
  session.Remember(name, object);  // the caller comes back with a larger buffer
  *count = size + kLengthBytes;
  return S_OK;
}

HRESULT WriteItem(TokenSession& session, const char* name, const BYTE* data, DWORD count) {
  std::vector<CK_OBJECT_HANDLE> old;
  KD_RETURN_IF_FAILED(FindItems(session, name, &old));
  if (count != 0 && IsRecord(data, count) && !IsRecord(data + kLengthBytes, count - kLengthBytes)) {
    data += kLengthBytes;
    count -= kLengthBytes;
  }
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
  return CreateReplacing(session, object, old);
}

HRESULT WriteCertificate(TokenSession& session, const char* name, const BYTE* der, DWORD count) {
  CertificateFields fields;
  if (der == nullptr || !ReadCertificateFields(DerBytes(der, count), &fields)) return kNotACertificate;
  std::vector<CK_OBJECT_HANDLE> old;
  ContainerObjects container;
  HRESULT hr = FindItems(session, name, &old);
  if (SUCCEEDED(hr)) hr = FindContainer(session, name, &container);
  KD_RETURN_IF_FAILED(hr);
  old.insert(old.end(), container.certificates.begin(), container.certificates.end());
  std::vector<std::uint8_t> id = container.id;
  if (!container.exists) {
    std::uint8_t digest[kdcrypto::kSha1Bytes];
    if (!kdcrypto::Sha1(fields.publicKey, digest)) return E_FAIL;
    id.assign(std::begin(digest), std::end(digest));
  }
  const auto attribute = [](CK_ATTRIBUTE_TYPE type, DerBytes bytes) {
    return CK_ATTRIBUTE{type, const_cast<std::uint8_t*>(bytes.data()), static_cast<CK_ULONG>(bytes.size())};
  };
  Values v;
  CK_ATTRIBUTE object[] = {
      {CKA_CLASS, &v.certificateClass, sizeof v.certificateClass},
      {CKA_CERTIFICATE_TYPE, &v.x509, sizeof v.x509},
      {CKA_TOKEN, &v.yes, sizeof v.yes},
      {CKA_PRIVATE, &v.no, sizeof v.no},
      {CKA_LABEL, const_cast<char*>(name), static_cast<CK_ULONG>(std::strlen(name))},
      {CKA_ID, id.data(), static_cast<CK_ULONG>(id.size())},
      attribute(CKA_SUBJECT, fields.subject),
      attribute(CKA_ISSUER, fields.issuer),
      attribute(CKA_SERIAL_NUMBER, fields.serial),
      {CKA_VALUE, const_cast<BYTE*>(der), count},
  };
  return CreateReplacing(session, object, old);
}

HRESULT DeleteItem(TokenSession& session, const char* name) {
  std::vector<CK_OBJECT_HANDLE> found;
  HRESULT hr = ItemObjects(session, name, &found);
  KD_RETURN_IF_FAILED(hr);
  if (found.empty()) return kItemNotFound;
  CK_SESSION_HANDLE handle;
  hr = session.Open(&handle);
  KD_RETURN_IF_FAILED(hr);
  for (const CK_OBJECT_HANDLE object : found) {
    const CK_RV rv = session.f().C_DestroyObject(handle, object);
    if (rv != CKR_OK) return session.Fail(rv);
  }
  return S_OK;
}

HRESULT ItemExists(TokenSession& session, const char* name, bool* exists) {
  std::vector<CK_OBJECT_HANDLE> found;
  const HRESULT hr = ItemObjects(session, name, &found);
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
  if (SUCCEEDED(hr)) hr = ListCertificateContainers(session, &listed);
  KD_RETURN_IF_FAILED(hr);
  std::sort(listed.begin(), listed.end());
  listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
  names->insert(names->end(), listed.begin(), listed.end());
  return S_OK;
}

}  // namespace nodyx::pkcs11
