// What a PKCS#11 return value means to the component's callers.
#pragma once

#include "kdplatform/win32.h"

#include "cryptoki.h"

#include <string>

namespace nodyx::pkcs11 {

// The component's code for a PKCS#11 failure (result_codes.h): wrong,
// locked or expired PIN, PIN needed, token gone, token full, token busy
// (all sessions taken, or an object changed by another program meanwhile),
// token fault (CKR_DEVICE_ERROR). Other standard failures
// become 0x80041000 | rv, so the PKCS#11 code stays readable in the
// HRESULT; vendor-defined ones become E_FAIL.
HRESULT HresultFromCkr(CK_RV rv);

// "CKR_PIN_INCORRECT (0xA0)" for messages; unknown codes in hex only.
std::string CkrText(CK_RV rv);

}  // namespace nodyx::pkcs11
