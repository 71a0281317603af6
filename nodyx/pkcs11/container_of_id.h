// The key container a CKA_ID names, by the naming rule of key_containers.h,
// for callers that hold a CKA_ID (a PKCS#11 URI's id=) and want the name.
#pragma once

#include "token_session.h"

#include <cstdint>
#include <span>
#include <string>

namespace nodyx::pkcs11 {

// *name is empty when the token shows no key object with that CKA_ID, or
// when the container's name is one no caller could name.
HRESULT ContainerOfId(TokenSession& session, std::span<const std::uint8_t> id, std::string* name);

}  // namespace nodyx::pkcs11
