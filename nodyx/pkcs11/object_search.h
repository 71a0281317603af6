// Finding the objects of a token session and reading their attributes.
#pragma once

#include "token_session.h"

#include <cstdint>
#include <span>
#include <vector>

namespace nodyx::pkcs11 {

// The objects matching the template, in the token's order; at most
// `limit` of them.
HRESULT FindObjects(TokenSession& session, std::span<CK_ATTRIBUTE> match, std::vector<CK_OBJECT_HANDLE>* found,
                    std::size_t limit = SIZE_MAX);

// A variable-length attribute's bytes; empty when the object does not have
// it or keeps it secret.
HRESULT ReadAttribute(TokenSession& session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type,
                      std::vector<std::uint8_t>* value);

}  // namespace nodyx::pkcs11
