# Cross-compiling for Windows with Debian's MinGW-w64 (the posix-thread
# compilers, whose C++ library has std::thread and std::mutex). Included by
# the per-architecture files, which set KEYDEPOT_MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KEYDEPOT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KEYDEPOT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KEYDEPOT_MINGW_TRIPLET}-windres)

# Libraries and headers come from the MinGW tree only, never from the build
# machine's /usr (its glibc headers would be picked up); programs run here.
set(CMAKE_FIND_ROOT_PATH /usr/${KEYDEPOT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
