// One initialised PKCS#11 module.
//
// Start calls C_Initialize with CKF_OS_LOCKING_OK, so the module may be
// called from several threads at once. The destructor calls C_Finalize,
// which closes every session this component still has on the module's
// tokens (and so logs them out), then releases the module. Holders share a
// module through shared_ptr; the last one ends it.
#pragma once

#include "module_loader.h"

#include <memory>
#include <string>

namespace nodyx::pkcs11 {

class Module {
 public:
  // Null with *reason when C_Initialize fails; the module is released then.
  static std::shared_ptr<const Module> Start(LoadedModule loaded, std::string* reason);

  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  const CK_FUNCTION_LIST& f() const { return *functions_; }
  const std::string& name() const { return name_; }

 private:
  Module(LoadedModule loaded, bool finalize)
      : functions_(loaded.functions), name_(std::move(loaded.name)), finalize_(finalize) {}

  CK_FUNCTION_LIST* const functions_;
  const std::string name_;
  // False when another user of the process had initialised the module: it
  // is that user's to finalise.
  const bool finalize_;
};

}  // namespace nodyx::pkcs11
