# What an installation holds, split into three components that become the
# Debian packages (Windows: the archive and the installer):
#   runtime  the shared libraries and the component beside them
#   dev      headers, the CMake package and the pkg-config file
#   tools    keydepot, nodyx-admin, their man pages and shell completion

# find_package(keydepot) gives keydepot::keydepot (and the toolkit and
# platform layer it needs).
set(KEYDEPOT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/keydepot)
install(EXPORT keydepotTargets
        NAMESPACE keydepot::
        DESTINATION ${KEYDEPOT_CMAKE_DIR}
        COMPONENT dev)
configure_package_config_file(cmake/keydepotConfig.cmake.in
        ${PROJECT_BINARY_DIR}/keydepotConfig.cmake
        INSTALL_DESTINATION ${KEYDEPOT_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/keydepotConfigVersion.cmake
        COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/keydepotConfig.cmake
              ${PROJECT_BINARY_DIR}/keydepotConfigVersion.cmake
        DESTINATION ${KEYDEPOT_CMAKE_DIR}
        COMPONENT dev)

# pkg-config: the prefix is found from the file's own place, so one file
# serves every install prefix (--prefix /opt/keydepot, a copied tree). A
# build for /usr (the packages) names /usr itself, so that pkg-config sees
# the system's folders and prints no -I or -L for them.
set(KEYDEPOT_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(KEYDEPOT_PC_PREFIX /usr)
else()
  file(RELATIVE_PATH _pc_to_prefix /prefix/${KEYDEPOT_PKGCONFIG_DIR} /prefix)
  string(REGEX REPLACE "/$" "" _pc_to_prefix "${_pc_to_prefix}")
  set(KEYDEPOT_PC_PREFIX "\${pcfiledir}/${_pc_to_prefix}")
endif()
configure_file(cmake/keydepot.pc.in ${PROJECT_BINARY_DIR}/keydepot.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/keydepot.pc
        DESTINATION ${KEYDEPOT_PKGCONFIG_DIR}
        COMPONENT dev)

# Man pages, made at build time from the tools' own --help (help2man), and
# bash completion, which reads the same help when it runs. Neither can drift
# from the programs.
find_program(KEYDEPOT_HELP2MAN help2man)
if(KEYDEPOT_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
  set(_man_pages)
  foreach(_tool IN ITEMS "keydepot-cli|keydepot|name, find, load and save keys and certificates in folders and on devices"
                         "nodyx-admin|nodyx-admin|manage the devices of the nodyx software token")
    string(REPLACE "|" ";" _tool "${_tool}")
    list(GET _tool 0 _target)
    list(GET _tool 1 _name)
    list(GET _tool 2 _description)
    set(_includes ${PROJECT_SOURCE_DIR}/tools/man/${_name}.h2m ${PROJECT_SOURCE_DIR}/tools/man/environment.h2m)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${_name}.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${PROJECT_SOURCE_DIR}/tools/man-page.sh $<TARGET_FILE:${_target}> "${_description}"
              ${PROJECT_VERSION} ${PROJECT_BINARY_DIR}/man/${_name}.1.gz ${_includes}
      DEPENDS ${_target} ${PROJECT_SOURCE_DIR}/tools/man-page.sh ${_includes}
      COMMENT "Writing the man page of ${_name}"
      VERBATIM)
    list(APPEND _man_pages ${PROJECT_BINARY_DIR}/man/${_name}.1.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${_man_pages})
  install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
else()
  message(STATUS "help2man not found (or cross-compiling): no man pages")
endif()
if(NOT WIN32)
  foreach(_name IN ITEMS keydepot nodyx-admin)
    install(FILES tools/completion/keydepot.bash
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
            RENAME ${_name}
            COMPONENT tools)
  endforeach()
endif()

# Packages. `tools/package.sh` configures the release build for /usr and runs
# CPack; docs/packaging.md says what each package holds.
set(CPACK_PACKAGE_NAME keydepot)
set(CPACK_PACKAGE_VENDOR "keydepot developers")
set(CPACK_PACKAGE_CONTACT "keydepot developers <keydepot@keydepot.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Name, find, load and save keys and certificates in folders and on devices")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL runtime dev tools)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "Libraries and the access-device component")
set(CPACK_COMPONENT_DEV_DISPLAY_NAME "Headers, CMake package and pkg-config file")
set(CPACK_COMPONENT_TOOLS_DISPLAY_NAME "Command-line tools")
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)

if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://keydepot.invalid/")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Dependencies on other packages come from the shared libraries actually
  # linked (dpkg-shlibdeps). Our own libraries are found in the build tree;
  # the packages that need them depend on the runtime package by component.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")

  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkeydepot${PROJECT_VERSION_MAJOR})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "keydepot: key and certificate storage library
 Lets applications name, find, load and save key and certificate material in
 folders or on devices. Holds the libraries and the access-device component
 nodyx, whose software token keeps its devices in folders.")

  set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkeydepot-dev)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEV_DESCRIPTION "keydepot: development files
 Headers, the CMake package (find_package(keydepot)) and the pkg-config file
 (keydepot.pc) for building applications with keydepot.")

  set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME keydepot-tools)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
  # The completion is installed for bash-completion to load.
  set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS bash-completion)
  set(CPACK_DEBIAN_TOOLS_DESCRIPTION "keydepot: command-line tools
 keydepot loads, saves, lists, completes and compares storage paths in folders
 and on devices; nodyx-admin manages the software token's devices.")

  # What Debian asks of every package (lintian checks it, tools/check-deb.sh):
  # its copyright and changelog in /usr/share/doc/<package>; the libraries'
  # package runs ldconfig through the trigger, not its own scripts.
  set(KEYDEPOT_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
  configure_file(cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
  # -n: no name or time stamp inside, so the same text gives the same bytes.
  execute_process(COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/debian/changelog.Debian
                  OUTPUT_FILE ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
  foreach(_component IN ITEMS RUNTIME DEV TOOLS)
    string(TOLOWER ${_component} _lower)
    set(_doc ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${_component}_PACKAGE_NAME})
    install(FILES cmake/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
            DESTINATION ${_doc} COMPONENT ${_lower})
    # What lintian would warn of that is so on purpose, each with its reason.
    install(FILES cmake/debian/${_lower}.lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${CPACK_DEBIAN_${_component}_PACKAGE_NAME}
            COMPONENT ${_lower})
  endforeach()
  # Every command, message and --json shape, which the man pages point at.
  install(FILES docs/cli.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_TOOLS_PACKAGE_NAME}
          COMPONENT tools)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
else()
  # Windows: one zip of the whole installed tree, and an installer made with
  # NSIS (makensis runs on the Linux build machine too). Both hold bin\ (the
  # DLLs, the component beside keydepot.dll, the programs and, on 32-bit, the
  # GCC run-time DLLs), include\ and lib\ (import libraries, the CMake
  # package). The installer offers the three components; the libraries are
  # always installed.
  set(CPACK_GENERATOR ZIP NSIS)
  # The NSIS settings hold backslashes and quotes: written as they stand.
  set(CPACK_VERBATIM_VARIABLES ON)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_COMPONENT_RUNTIME_REQUIRED ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    # A 64-bit installer: it runs where the 64-bit build can, and writes its
    # uninstall entry to the 64-bit registry view.
    # CPack splits this command line at spaces: the escaped one keeps Target
    # and its argument together.
    set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS [[-XTarget\ amd64-unicode]])
    set(_bits "64-bit")
  else()
    set(CPACK_SYSTEM_NAME win32)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
    set(_bits "32-bit")
  endif()
  # Program Files\keydepot (the 32-bit build's Program Files is the (x86)
  # one). Both builds can be installed side by side, with uninstall entries
  # of their own; installing a build again first removes the installed one.
  set(CPACK_PACKAGE_INSTALL_DIRECTORY keydepot)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "keydepot ${CPACK_SYSTEM_NAME}")
  set(CPACK_NSIS_PACKAGE_NAME "keydepot ${PROJECT_VERSION} (${_bits})")
  set(CPACK_NSIS_DISPLAY_NAME "keydepot ${PROJECT_VERSION} (${_bits})")
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  # A page offers to add bin\ to PATH (for all users or the current one);
  # a silent install leaves PATH alone. The uninstaller undoes what was done.
  set(CPACK_NSIS_MODIFY_PATH ON)
  # The uninstaller removes its own registry key but would leave the
  # vendor's key above it, now empty; this runs after that removal.
  set(CPACK_NSIS_DELETE_ICONS_EXTRA "DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"")
  # The saved PINs' registry keys, administrators-only (docs/security.md):
  # made so, or set so when an earlier version made them; removed again only
  # when empty.
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!include \"${PROJECT_SOURCE_DIR}/cmake/nsis/registry-security.nsh\"")
  set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!include \"${PROJECT_SOURCE_DIR}/cmake/nsis/registry-uninstall.nsh\"")
endif()

include(CPack)
