// The library's entry point: records the library's own module handle when the
// process attaches it. The component is looked for next to that module's file.
#include "ad/own_module.h"
#include "dll_main.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) keydepot::detail::RecordOwnModule(instance);
  return TRUE;
}
