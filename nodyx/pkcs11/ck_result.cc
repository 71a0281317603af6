#include "ck_result.h"

#include "base/result_codes.h"

#include <cstdio>

namespace nodyx::pkcs11 {

namespace {

constexpr HRESULT kWriteProtected = HRESULT_FROM_WIN32(19);  // ERROR_WRITE_PROTECT

struct Named {
  CK_RV rv;
  const char* name;
};

constexpr Named kNames[] = {
    {CKR_CANCEL, "CKR_CANCEL"},
    {CKR_HOST_MEMORY, "CKR_HOST_MEMORY"},
    {CKR_SLOT_ID_INVALID, "CKR_SLOT_ID_INVALID"},
    {CKR_GENERAL_ERROR, "CKR_GENERAL_ERROR"},
    {CKR_FUNCTION_FAILED, "CKR_FUNCTION_FAILED"},
    {CKR_ARGUMENTS_BAD, "CKR_ARGUMENTS_BAD"},
    {CKR_CANT_LOCK, "CKR_CANT_LOCK"},
    {CKR_ATTRIBUTE_VALUE_INVALID, "CKR_ATTRIBUTE_VALUE_INVALID"},
    {CKR_DEVICE_ERROR, "CKR_DEVICE_ERROR"},
    {CKR_DEVICE_MEMORY, "CKR_DEVICE_MEMORY"},
    {CKR_DEVICE_REMOVED, "CKR_DEVICE_REMOVED"},
    {CKR_OBJECT_HANDLE_INVALID, "CKR_OBJECT_HANDLE_INVALID"},
    {CKR_OPERATION_ACTIVE, "CKR_OPERATION_ACTIVE"},
    {CKR_SESSION_COUNT, "CKR_SESSION_COUNT"},
    {CKR_FUNCTION_NOT_SUPPORTED, "CKR_FUNCTION_NOT_SUPPORTED"},
    {CKR_PIN_INCORRECT, "CKR_PIN_INCORRECT"},
    {CKR_PIN_INVALID, "CKR_PIN_INVALID"},
    {CKR_PIN_LEN_RANGE, "CKR_PIN_LEN_RANGE"},
    {CKR_PIN_EXPIRED, "CKR_PIN_EXPIRED"},
    {CKR_PIN_LOCKED, "CKR_PIN_LOCKED"},
    {CKR_SESSION_CLOSED, "CKR_SESSION_CLOSED"},
    {CKR_SESSION_HANDLE_INVALID, "CKR_SESSION_HANDLE_INVALID"},
    {CKR_SESSION_READ_ONLY, "CKR_SESSION_READ_ONLY"},
    {CKR_TOKEN_NOT_PRESENT, "CKR_TOKEN_NOT_PRESENT"},
    {CKR_TOKEN_NOT_RECOGNIZED, "CKR_TOKEN_NOT_RECOGNIZED"},
    {CKR_TOKEN_WRITE_PROTECTED, "CKR_TOKEN_WRITE_PROTECTED"},
    {CKR_USER_NOT_LOGGED_IN, "CKR_USER_NOT_LOGGED_IN"},
    {CKR_USER_PIN_NOT_INITIALIZED, "CKR_USER_PIN_NOT_INITIALIZED"},
    {CKR_CRYPTOKI_NOT_INITIALIZED, "CKR_CRYPTOKI_NOT_INITIALIZED"},
    {CKR_CRYPTOKI_ALREADY_INITIALIZED, "CKR_CRYPTOKI_ALREADY_INITIALIZED"},
};

}  // namespace

HRESULT HresultFromCkr(CK_RV rv) {
  switch (rv) {
    case CKR_OK: return S_OK;
    case CKR_PIN_INCORRECT:
    case CKR_PIN_INVALID:
    case CKR_PIN_LEN_RANGE: return kWrongPin;
    case CKR_PIN_LOCKED: return kPinLocked;
    case CKR_PIN_EXPIRED: return kPinExpired;
    case CKR_USER_NOT_LOGGED_IN:
    case CKR_USER_PIN_NOT_INITIALIZED: return kPinRequired;
    case CKR_TOKEN_NOT_PRESENT:
    case CKR_TOKEN_NOT_RECOGNIZED:
    case CKR_DEVICE_REMOVED:
    case CKR_SLOT_ID_INVALID:
    case CKR_SESSION_CLOSED:
    case CKR_SESSION_HANDLE_INVALID: return kDeviceNotReady;
    case CKR_DEVICE_MEMORY: return kNoRoom;
    // Another program or session holds the token, or removed the object
    // between our finding it and using it.
    case CKR_SESSION_COUNT:
    case CKR_OPERATION_ACTIVE:
    case CKR_OBJECT_HANDLE_INVALID: return kDeviceBusy;
    case CKR_DEVICE_ERROR: return kDeviceError;
    case CKR_HOST_MEMORY: return E_OUTOFMEMORY;
    case CKR_TOKEN_WRITE_PROTECTED:
    case CKR_SESSION_READ_ONLY: return kWriteProtected;
    case CKR_ARGUMENTS_BAD:
    case CKR_ATTRIBUTE_VALUE_INVALID: return E_INVALIDARG;
    case CKR_FUNCTION_NOT_SUPPORTED: return E_NOTIMPL;
    default: return rv < 0x1000 ? static_cast<HRESULT>(0x80041000u | static_cast<std::uint32_t>(rv)) : E_FAIL;
  }
}

std::string CkrText(CK_RV rv) {
  char hex[24];
  std::snprintf(hex, sizeof hex, "0x%lX", static_cast<unsigned long>(rv));
  for (const auto& named : kNames) {
    if (named.rv == rv) return std::string(named.name) + " (" + hex + ")";
  }
  return hex;
}

}  // namespace nodyx::pkcs11
