/* A stand-in PKCS#11 module for what SoftHSM2 cannot show. Built twice:
 * FAKE_FAIL_INIT: C_Initialize fails with CKR_DEVICE_ERROR.
 * otherwise: one token "PIN pad" with a protected authentication path,
 * whose C_Login accepts only a login without PIN text (the pad reads it). */
#include <p11-kit/pkcs11.h>

#include <string.h>

#define EXPORT __attribute__((visibility("default")))

enum { kSlot = 7 };

static CK_RV Initialize(void* args) {
  (void)args;
#ifdef FAKE_FAIL_INIT
  return CKR_DEVICE_ERROR;
#else
  return CKR_OK;
#endif
}

static CK_RV Finalize(void* reserved) {
  (void)reserved;
  return CKR_OK;
}

static void Pad(CK_UTF8CHAR* field, size_t size, const char* text) {
  memset(field, ' ', size);
  memcpy(field, text, strlen(text));
}

static CK_RV GetSlotList(CK_BBOOL present, CK_SLOT_ID* slots, CK_ULONG* count) {
  (void)present;
  if (slots != NULL) {
    if (*count < 1) return CKR_BUFFER_TOO_SMALL;
    slots[0] = kSlot;
  }
  *count = 1;
  return CKR_OK;
}

static CK_RV GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO* info) {
  if (slot != kSlot) return CKR_SLOT_ID_INVALID;
  memset(info, 0, sizeof *info);
  Pad(info->slotDescription, sizeof info->slotDescription, "Fake reader with PIN pad");
  info->flags = CKF_TOKEN_PRESENT | CKF_HW_SLOT;
  return CKR_OK;
}

static CK_RV GetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
  static const char* const fields[] = {"PIN pad", "keydepot tests", "pad", "0001"};
  CK_UTF8CHAR* const targets[] = {info->label, info->manufacturerID, info->model, info->serialNumber};
  const size_t sizes[] = {sizeof info->label, sizeof info->manufacturerID, sizeof info->model,
                          sizeof info->serialNumber};
  size_t i;
  if (slot != kSlot) return CKR_SLOT_ID_INVALID;
  memset(info, 0, sizeof *info);
  for (i = 0; i < 4; ++i) Pad(targets[i], sizes[i], fields[i]);
  info->flags = CKF_TOKEN_INITIALIZED | CKF_USER_PIN_INITIALIZED | CKF_LOGIN_REQUIRED |
                CKF_PROTECTED_AUTHENTICATION_PATH;
  info->ulTotalPrivateMemory = info->ulFreePrivateMemory = CK_UNAVAILABLE_INFORMATION;
  return CKR_OK;
}

static CK_RV OpenSession(CK_SLOT_ID slot, CK_FLAGS flags, void* app, CK_NOTIFY notify, CK_SESSION_HANDLE* session) {
  (void)flags, (void)app, (void)notify;
  if (slot != kSlot) return CKR_SLOT_ID_INVALID;
  *session = 1;
  return CKR_OK;
}

static CK_RV CloseSession(CK_SESSION_HANDLE session) {
  return session == 1 ? CKR_OK : CKR_SESSION_HANDLE_INVALID;
}

static CK_RV Login(CK_SESSION_HANDLE session, CK_USER_TYPE user, CK_UTF8CHAR* pin, CK_ULONG length) {
  if (session != 1 || user != CKU_USER) return CKR_ARGUMENTS_BAD;
  return pin == NULL && length == 0 ? CKR_OK : CKR_PIN_INCORRECT;
}

static CK_FUNCTION_LIST functions;

EXPORT CK_RV C_GetFunctionList(CK_FUNCTION_LIST** list) {
  functions.version.major = 2;
  functions.version.minor = 40;
  functions.C_Initialize = Initialize;
  functions.C_Finalize = Finalize;
  functions.C_GetSlotList = GetSlotList;
  functions.C_GetSlotInfo = GetSlotInfo;
  functions.C_GetTokenInfo = GetTokenInfo;
  functions.C_OpenSession = OpenSession;
  functions.C_CloseSession = CloseSession;
  functions.C_Login = Login;
  *list = &functions;
  return CKR_OK;
}
