#include "module.h"

#include "ck_result.h"

#include <new>

namespace nodyx::pkcs11 {

std::shared_ptr<const Module> Module::Start(LoadedModule loaded, std::string* reason) {
  CK_C_INITIALIZE_ARGS args{};
  args.flags = CKF_OS_LOCKING_OK;
  const CK_RV rv = loaded.functions->C_Initialize(&args);
  if (rv != CKR_OK && rv != CKR_CRYPTOKI_ALREADY_INITIALIZED) {
    *reason = "C_Initialize failed: " + CkrText(rv);
    ReleaseModule(loaded.functions);
    return nullptr;
  }
  Module* module = new (std::nothrow) Module(loaded, rv == CKR_OK);
  if (module == nullptr) {
    if (rv == CKR_OK) loaded.functions->C_Finalize(nullptr);
    ReleaseModule(loaded.functions);
    *reason = "out of memory";
    return nullptr;
  }
  // shared_ptr deletes the module itself when it cannot allocate its count.
  return std::shared_ptr<const Module>(module);
}

Module::~Module() {
  if (finalize_) functions_->C_Finalize(nullptr);
  ReleaseModule(functions_);
}

}  // namespace nodyx::pkcs11
