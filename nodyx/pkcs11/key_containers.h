// Key containers on a token. The private key, public key and certificate
// objects that share one CKA_ID form a container, named by the CKA_LABEL
// of its private key, else of its certificate, else of its public key; a
// container none of whose objects has a label is named by its CKA_ID in
// upper-case hex. Objects without a CKA_ID belong to no container, and
// names that no caller could name (store/names.h) are left out. Two
// containers (two CKA_IDs) with one name are one container to callers.
//
// Before a login the token shows only its public objects, so a container
// whose objects are all private appears only after a PIN was accepted.
#pragma once

#include "token_session.h"

#include "keydepot/ad/token_objects.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nodyx::pkcs11 {

// The distinct container names, sorted.
HRESULT ListContainers(TokenSession& session, std::vector<std::string>* names);

HRESULT ContainerExists(TokenSession& session, const char* name, bool* exists);

// What the container `name` holds, in the token's order.
struct ContainerObjects {
  bool exists = false;
  std::vector<std::uint8_t> id;                // CKA_ID (the first, when the name has several)
  std::vector<CK_OBJECT_HANDLE> certificates;  // CKO_CERTIFICATE of type CKC_X_509
  std::vector<CK_OBJECT_HANDLE> keys;          // CKO_PRIVATE_KEY and CKO_PUBLIC_KEY
};
HRESULT FindContainer(TokenSession& session, const char* name, ContainerObjects* found);

// What keydepot show tells of the container's keys (AD_KeyObject), private
// keys first; no attribute a key keeps secret is asked for.
HRESULT DescribeKeys(TokenSession& session, const std::vector<CK_OBJECT_HANDLE>& keys,
                     std::vector<AD_KeyObject>* described);

// The names of the containers that hold an X.509 certificate, sorted.
HRESULT ListCertificateContainers(TokenSession& session, std::vector<std::string>* names);

}  // namespace nodyx::pkcs11
