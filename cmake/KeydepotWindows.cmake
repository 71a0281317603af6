# Windows builds with MinGW-w64 on the Debian build machine (the windows-x64
# and windows-x86 presets; docs/windows.md).

# keydepot.dll and tools2.dll, as Windows names DLLs (the import libraries
# keep MinGW's names: libkeydepot.dll.a).
set(CMAKE_SHARED_LIBRARY_PREFIX "")

# The component is a module; Windows looks for it beside keydepot.dll, which
# is a run-time file: both go to bin/.
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

# Header-only libraries come from the build machine's Debian packages. Their
# folders are linked one by one into a folder of this build: /usr/include
# itself is never on a MinGW include path, or glibc's headers would be taken
# for the Windows C library's.
set(KEYDEPOT_HOST_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
foreach(_link IN ITEMS "boost=/usr/include/boost" "nlohmann=/usr/include/nlohmann" "CLI=/usr/include/CLI"
                       "p11-kit=/usr/include/p11-kit-1/p11-kit")
  string(REPLACE "=" ";" _link "${_link}")
  list(GET _link 0 _name)
  list(GET _link 1 _folder)
  if(NOT EXISTS ${_folder})
    message(FATAL_ERROR "${_folder} is missing: run tools/setup.sh")
  endif()
  file(MAKE_DIRECTORY ${KEYDEPOT_HOST_HEADERS})
  file(CREATE_LINK ${_folder} ${KEYDEPOT_HOST_HEADERS}/${_name} SYMBOLIC)
endforeach()

# find_package() of those libraries finds these small package files, which
# give the usual imported targets on the linked folder (a MinGW search would
# find nothing, and the packages' own files name /usr/include).
set(_packages ${PROJECT_BINARY_DIR}/host-packages)
function(_keydepot_header_package package version)
  set(_file ${_packages}/${package}/${package}Config.cmake)
  file(WRITE ${_file} "# Made by cmake/KeydepotWindows.cmake.\n")
  foreach(_target IN LISTS ARGN)
    file(APPEND ${_file}
         "if(NOT TARGET ${_target})\n"
         "  add_library(${_target} INTERFACE IMPORTED)\n"
         "  set_target_properties(${_target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${KEYDEPOT_HOST_HEADERS}\n"
         "                        INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${KEYDEPOT_HOST_HEADERS})\n"
         "endif()\n")
  endforeach()
  file(WRITE ${_packages}/${package}/${package}ConfigVersion.cmake
       "set(PACKAGE_VERSION ${version})\n"
       "if(PACKAGE_FIND_VERSION VERSION_GREATER PACKAGE_VERSION)\n"
       "  set(PACKAGE_VERSION_COMPATIBLE FALSE)\n"
       "else()\n"
       "  set(PACKAGE_VERSION_COMPATIBLE TRUE)\n"
       "endif()\n")
  set(${package}_DIR ${_packages}/${package} CACHE PATH "Header-only ${package} for the Windows build" FORCE)
endfunction()
_keydepot_header_package(Boost 1.74.0 Boost::headers Boost::boost)
_keydepot_header_package(nlohmann_json 3.11.2 nlohmann_json::nlohmann_json)
_keydepot_header_package(CLI11 2.1.2 CLI11::CLI11)

# GoogleTest, built from the sources Debian ships for any compiler.
set(KEYDEPOT_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
macro(keydepot_windows_googletest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Its targets have the names find_package(GTest) gives (GTest::gtest, ...).
  add_subdirectory(${KEYDEPOT_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endmacro()

# ctest runs the test programs under Wine (docs/windows.md, "Tests"), each
# build with the loader of its own architecture (tools/wine-env.sh).
set(KEYDEPOT_DEFAULT_WINEPREFIX ${PROJECT_BINARY_DIR}/wine)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KEYDEPOT_WINEARCH win32)
else()
  set(KEYDEPOT_WINEARCH win64)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run.sh)

# 32-bit: a module's __stdcall exports ("GetClassObject") are named as
# written, not "_GetClassObject@12", so that GetProcAddress finds them.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  string(APPEND CMAKE_MODULE_LINKER_FLAGS " -Wl,--kill-at")
endif()

# 32-bit: the one shared GCC run-time (cmake/toolchains/mingw-w64-i686.cmake)
# and the thread library it needs lie beside the DLLs and programs.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  foreach(_dll IN ITEMS libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${_dll} is")
    endif()
    file(COPY ${_path} DESTINATION ${PROJECT_BINARY_DIR}/bin)
    install(FILES ${_path} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  endforeach()
endif()

# keydepot_windows_program(<target>): gives a program the manifest of the
# keydepot programs (cmake/windows/program.manifest): UTF-8 as its ANSI code
# page, and the caller's rights without virtualisation.
set(KEYDEPOT_PROGRAM_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/windows/program.manifest)
set(KEYDEPOT_PROGRAM_RC ${PROJECT_BINARY_DIR}/program.rc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/program.rc.in ${KEYDEPOT_PROGRAM_RC} @ONLY)
function(keydepot_windows_program target)
  target_sources(${target} PRIVATE ${KEYDEPOT_PROGRAM_RC})
  set_property(SOURCE ${KEYDEPOT_PROGRAM_RC} APPEND PROPERTY OBJECT_DEPENDS ${KEYDEPOT_PROGRAM_MANIFEST})
endfunction()
