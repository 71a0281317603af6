// The test module's control functions: what a test does to the "hardware"
// (puts a card into a reader, pulls it, personalises it) while the
// component uses the module through PKCS#11.
//
// The module (test_module.cc) is a PKCS#11 module with kTestReaders readers,
// slot IDs kFirstTestSlot onwards, each a hardware slot with a removable
// token. Its tokens live in the memory of the process that loaded it, from
// the first load until the module is unloaded, whatever C_Initialize and
// C_Finalize happen in between: a test keeps the module loaded (and so its
// tokens) by loading it itself before the component does.
//
// The functions are exported by these names and may be called from any
// thread, before or after C_Initialize. Each returns CKR_OK, or the PKCS#11
// code for what stands in the way (CKR_SLOT_ID_INVALID for a reader number
// out of range, CKR_TOKEN_NOT_PRESENT for an empty reader, CKR_FUNCTION_FAILED
// for a reader that already holds a token, CKR_ARGUMENTS_BAD for a bad spec).
#pragma once

// Parsed before the header's packing starts (see nodyx/pkcs11/cryptoki.h).
#include <cstddef>

#include <p11-kit/pkcs11.h>

inline constexpr CK_ULONG kTestReaders = 4;
inline constexpr CK_SLOT_ID kFirstTestSlot = 7;

struct TestTokenSpec {
  const char* label;   // up to 32 bytes
  const char* serial;  // up to 16 bytes; the model and manufacturer are the same for every token
  const char* userPin;
  CK_FLAGS flags;          // added to the token's flags: CKF_PROTECTED_AUTHENTICATION_PATH, CKF_WRITE_PROTECTED
  CK_ULONG pinTries;       // wrong PINs in a row that lock the user PIN (at least 1)
  CK_ULONG privateMemory;  // bytes of private objects' CKA_VALUE the token holds; CK_UNAVAILABLE_INFORMATION: any
};

// Exported by these names (and not to be called directly: look them up in
// the loaded module).
extern "C" {

// Empties every reader and forgets every token: the module as first loaded,
// but for sessions, which answer CKR_DEVICE_REMOVED.
CK_RV TestModule_Reset();
// A new, initialised token with no objects in an empty reader.
CK_RV TestModule_NewToken(CK_ULONG reader, const TestTokenSpec* spec);
// Pulls the reader's token: sessions on it answer CKR_DEVICE_REMOVED, its
// login ends, and the module keeps the token and its objects aside.
CK_RV TestModule_Pull(CK_ULONG reader);
// Puts a token pulled before (by its serial number) into an empty reader.
CK_RV TestModule_Insert(CK_ULONG reader, const char* serial);
// Puts an object on the reader's token, as its issuer would, without any
// login: the attributes are copied; CKA_TOKEN and CKA_PRIVATE default to
// true and false.
CK_RV TestModule_AddObject(CK_ULONG reader, const CK_ATTRIBUTE* attributes, CK_ULONG count);

// The token in the reader is in use by "other programs": its next
// tokenInfoCalls calls of C_GetTokenInfo and openSessionCalls calls of
// C_OpenSession answer `answer` (CKR_GENERAL_ERROR, CKR_SESSION_COUNT, ...).
CK_RV TestModule_Busy(CK_ULONG reader, CK_RV answer, CK_ULONG tokenInfoCalls, CK_ULONG openSessionCalls);

}  // extern "C"
