# 32-bit Windows (the windows-x86 preset).
set(CMAKE_SYSTEM_PROCESSOR X86)
set(KEYDEPOT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# The C++ run-time is linked into every module. The GCC run-time is not:
# 32-bit GCC unwinds with tables that each copy of the run-time keeps for
# its own module only, so an exception thrown in one module (the toolkit's
# XTOORegError, the library's `long`) would never reach a handler in another.
# One shared libgcc_s_dw2-1.dll (with the libwinpthread-1.dll it needs) lies
# beside the DLLs instead (docs/windows.md).
foreach(_kind EXE SHARED MODULE)
  set(CMAKE_${_kind}_LINKER_FLAGS_INIT "-static-libstdc++ -shared-libgcc")
endforeach()
