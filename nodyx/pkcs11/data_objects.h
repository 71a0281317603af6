// Key-storage items on a token. An item is a data object (CKO_DATA) kept
// on the token, its CKA_LABEL the item's name and CKA_VALUE its bytes, or,
// when no data object has the name, the X.509 certificate of the key
// container with that name (key_containers.h), CKA_VALUE its DER. Objects
// this component writes as items are private data objects (only a logged-in
// session sees them) and carry CKA_APPLICATION "keydepot"; data objects of
// other programs are items too.
//
// Callers deal in device records (a 4-byte little-endian length, then the
// item's bytes); the token holds the bytes alone:
// - Write of a record stores its bytes; other bytes are stored as given.
//   A record whose bytes are themselves a record is stored whole, so that
//   Read gives it back unchanged (see below).
// - Read gives a record of the object's value, except for a value that is a
//   record already (items written before values were stored bare, and the
//   case above), which it gives as stored. A value that another program
//   wrote and that happens to begin with the little-endian length of the
//   rest is so read as a record too (docs/nodyx.md).
//
// Several data objects with one label (made by other programs): Read uses
// the first the token finds, Write replaces them all, Delete destroys them
// all. Names are checked by the caller.
#pragma once

#include "token_session.h"

#include <string>
#include <vector>

namespace nodyx::pkcs11 {

// *count is the capacity in and the record's size out; a record larger than
// the capacity is not copied (S_OK with a size it fits in, at most 4 bytes
// over the exact one). kItemNotFound when no such item is there,
// kKeyNotExported when the name is a container without a certificate. Item
// bytes go straight into the caller's buffer, with no copy left elsewhere.
HRESULT ReadItem(TokenSession& session, const char* name, BYTE* buffer, DWORD* count);

// Creates the new object first and destroys the old ones after it: a write
// that fails leaves the old item as it was. A certificate of a container
// with this name stays; the new data object is read before it.
HRESULT WriteItem(TokenSession& session, const char* name, const BYTE* data, DWORD count);

// Stores one DER X.509 certificate as a certificate object (public, on the
// token) named `name`, with the CKA_ID of the key container of that name
// when there is one, else the SHA-1 of the certificate's public key bits (its
// key identifier as RFC 5280 and p11tool derive it).
// Replaces, as WriteItem does, the container's certificates and the data
// objects of that name. kNotACertificate for other bytes.
HRESULT WriteCertificate(TokenSession& session, const char* name, const BYTE* der, DWORD count);

// Destroys the data objects with the name, else the certificates of the
// container with the name; key objects are never destroyed here.
HRESULT DeleteItem(TokenSession& session, const char* name);
HRESULT ItemExists(TokenSession& session, const char* name, bool* exists);

// The distinct item names, sorted: the labels of data objects and the
// names of containers holding a certificate; labels that no caller could
// name (see store/names.h) are left out.
HRESULT ListItems(TokenSession& session, std::vector<std::string>* names);

}  // namespace nodyx::pkcs11
