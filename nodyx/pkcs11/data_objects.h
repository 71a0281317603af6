// Key-storage items on a token. An item is a data object (CKO_DATA) kept
// on the token, its CKA_LABEL the item's name and CKA_VALUE its bytes.
// Objects this component writes are private (only a logged-in session sees
// them) and carry CKA_APPLICATION "keydepot"; data objects of other
// programs are items too.
//
// Several data objects with one label (made by other programs): Read uses
// the first the token finds, Write replaces them all, Delete destroys them
// all. Names are checked by the caller.
#pragma once

#include "token_session.h"

#include <string>
#include <vector>

namespace nodyx::pkcs11 {

// *count is the capacity in and the item's size out; an item larger than
// the capacity is not copied (S_OK with its size). kItemNotFound when no
// such item is there.
HRESULT ReadItem(TokenSession& session, const char* name, BYTE* buffer, DWORD* count);

// Creates the new object first and destroys the old ones after it: a write
// that fails leaves the old item as it was.
HRESULT WriteItem(TokenSession& session, const char* name, const BYTE* data, DWORD count);

HRESULT DeleteItem(TokenSession& session, const char* name);
HRESULT ItemExists(TokenSession& session, const char* name, bool* exists);

// The distinct item names, sorted; labels that no caller could name (see
// store/names.h) are left out.
HRESULT ListItems(TokenSession& session, std::vector<std::string>* names);

}  // namespace nodyx::pkcs11
