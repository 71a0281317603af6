#include "kdplatform/import_redirect.h"

#include "kdplatform/win32.h"

#include <cstring>

namespace kdp::testing {

FARPROC RedirectImport(const char* function, FARPROC standIn, HMODULE module) {
  HMODULE self = module;
  if (self == nullptr &&
      !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&RedirectImport), &self)) {
    return nullptr;
  }
  auto* base = reinterpret_cast<BYTE*>(self);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  FARPROC original = nullptr;
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name; ++dll) {
    if (dll->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD old = 0;
      if (!VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, PAGE_READWRITE, &old)) continue;
      if (!original) original = reinterpret_cast<FARPROC>(addresses->u1.Function);
      addresses->u1.Function = reinterpret_cast<ULONG_PTR>(standIn);
      VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, old, &old);
    }
  }
  return original;
}

}  // namespace kdp::testing
