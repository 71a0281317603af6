#include "softhsm_token.h"

#include <p11-kit/p11-kit.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace kdbench {

bool MakeSoftHsmToken(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder / "tokens", ec);
  std::ofstream(folder / "softhsm2.conf") << "directories.tokendir = " << (folder / "tokens").string()
                                          << "\nobjectstore.backend = file\nlog.level = ERROR\n";
  ::setenv("SOFTHSM2_CONF", (folder / "softhsm2.conf").c_str(), 1);
  const std::string command = std::string(SOFTHSM2_UTIL) + " --init-token --free --label " + SoftHsmToken::kLabel +
                              " --so-pin 0000 --pin " + SoftHsmToken::kPin + " >/dev/null 2>&1";
  return !ec && *SOFTHSM2_UTIL != '\0' && std::system(command.c_str()) == 0;
}

SoftHsmToken::SoftHsmToken() {
  f_ = p11_kit_module_load(SOFTHSM2_MODULE, 0);
  CK_C_INITIALIZE_ARGS args{};
  args.flags = CKF_OS_LOCKING_OK;
  if (f_ == nullptr || f_->C_Initialize(&args) != CKR_OK) return;
  CK_SLOT_ID slots[8];
  CK_ULONG count = 8;
  if (f_->C_GetSlotList(CK_TRUE, slots, &count) != CKR_OK) return;
  // The module also shows a free, uninitialised token.
  for (CK_ULONG i = 0; i < count && !ok_; ++i) {
    CK_TOKEN_INFO info{};
    ok_ = f_->C_GetTokenInfo(slots[i], &info) == CKR_OK && (info.flags & CKF_TOKEN_INITIALIZED) != 0;
    std::memcpy(serial_, info.serialNumber, sizeof serial_);
  }
}

SoftHsmToken::~SoftHsmToken() {
  if (f_ == nullptr) return;
  f_->C_Finalize(nullptr);
  p11_kit_module_release(f_);
}

bool SoftHsmToken::Locate(CK_SLOT_ID* slot) const {
  CK_ULONG count = 0;
  if (f_->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_OK) return false;
  std::vector<CK_SLOT_ID> slots(count);
  if (f_->C_GetSlotList(CK_TRUE, slots.data(), &count) != CKR_OK) return false;
  for (CK_ULONG i = 0; i < count; ++i) {
    CK_TOKEN_INFO info{};
    if (f_->C_GetTokenInfo(slots[i], &info) == CKR_OK && std::memcmp(info.serialNumber, serial_, sizeof serial_) == 0) {
      *slot = slots[i];
      return true;
    }
  }
  return false;
}

bool SoftHsmToken::OpenSession(CK_SESSION_HANDLE* session) const {
  CK_SLOT_ID slot;
  if (!ok_ || !Locate(&slot)) return false;
  if (f_->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, session) != CKR_OK) return false;
  auto* pin = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(kPin));
  if (f_->C_Login(*session, CKU_USER, pin, std::strlen(kPin)) == CKR_OK) return true;
  f_->C_CloseSession(*session);
  return false;
}

std::vector<CK_OBJECT_HANDLE> SoftHsmToken::Find(CK_SESSION_HANDLE session, const char* label) const {
  CK_OBJECT_CLASS dataClass = CKO_DATA;
  CK_BBOOL yes = CK_TRUE;
  CK_ATTRIBUTE match[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                          {CKA_TOKEN, &yes, sizeof yes},
                          {CKA_LABEL, const_cast<char*>(label), std::strlen(label)}};
  std::vector<CK_OBJECT_HANDLE> found(16);
  CK_ULONG count = 0;
  if (f_->C_FindObjectsInit(session, match, 3) != CKR_OK) return {};
  f_->C_FindObjects(session, found.data(), found.size(), &count);
  f_->C_FindObjectsFinal(session);
  found.resize(count);
  return found;
}

bool SoftHsmToken::Create(CK_SESSION_HANDLE session, const char* label, const std::vector<unsigned char>& value,
                          CK_OBJECT_HANDLE* object) const {
  CK_OBJECT_CLASS dataClass = CKO_DATA;
  CK_BBOOL yes = CK_TRUE;
  CK_ATTRIBUTE attributes[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                               {CKA_TOKEN, &yes, sizeof yes},
                               {CKA_PRIVATE, &yes, sizeof yes},
                               {CKA_LABEL, const_cast<char*>(label), std::strlen(label)},
                               {CKA_VALUE, const_cast<unsigned char*>(value.data()), value.size()}};
  return f_->C_CreateObject(session, attributes, 5, object) == CKR_OK;
}

bool SoftHsmToken::ReadValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                             std::vector<unsigned char>* value) const {
  CK_ATTRIBUTE attribute{CKA_VALUE, nullptr, 0};
  if (f_->C_GetAttributeValue(session, object, &attribute, 1) != CKR_OK) return false;
  value->resize(attribute.ulValueLen);
  attribute.pValue = value->data();
  return f_->C_GetAttributeValue(session, object, &attribute, 1) == CKR_OK;
}

}  // namespace kdbench
