// Linux has no DLL entry point: a constructor function runs when the dynamic
// loader maps the module that contains the library's code (the shared library,
// or a program that links the library's objects directly) and hands DllMain
// the handle of that module, found from an address inside it.
#include "dll_main.h"

namespace {

__attribute__((constructor)) void OnProcessAttach() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&OnProcessAttach), &self)) {
    self = nullptr;
  }
  DllMain(self, DLL_PROCESS_ATTACH, nullptr);
}

}  // namespace
