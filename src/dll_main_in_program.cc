// Windows calls a DllMain only for a DLL. A program that links the library's
// objects directly instead of keydepot.dll (the project's tests) runs this
// at start and hands DllMain the program's own handle, as Linux's load-time
// constructor does (dll_main_posix.cc): the library then looks for the
// component beside the program.
#include "dll_main.h"

namespace {

const bool g_attached = DllMain(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr) != FALSE;

}  // namespace
