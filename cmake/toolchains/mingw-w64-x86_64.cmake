# 64-bit Windows (the windows-x64 preset).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KEYDEPOT_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# The C++ and GCC run-times and the thread library are linked into every
# module, so the DLLs and programs need nothing but Windows' own DLLs.
# Exceptions still cross module boundaries: 64-bit GCC unwinds through the
# system's tables (SEH), which every module shares.
foreach(_kind EXE SHARED MODULE)
  set(CMAKE_${_kind}_LINKER_FLAGS_INIT "-static")
endforeach()
