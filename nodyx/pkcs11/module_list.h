// Which PKCS#11 modules the component uses, first match wins:
//  1. NODYX_PKCS11_MODULES, when set: module paths separated like PATH
//     (':' on Linux, ';' on Windows). Set but empty: no module at all. The
//     variable is the caller's own choice and trusted as it is.
//  2. The file nodyx-pkcs11.conf in the shared data folder (shared_files.h),
//     when it exists and kdp::CheckTrusted vouches for it and its folders:
//     one module path per line; blank lines and lines starting with '#' are
//     ignored. A file that another user could have written is ignored as a
//     missing one is, and the list says why (`ignored`): each module runs
//     inside every process that lists devices, root's and services' too.
//  3. Otherwise the modules the system's PKCS#11 configuration registers
//     (p11-kit on Linux; Windows registers none; module_loader.h).
// Of sources 1 and 2, a path that is not absolute (it would depend on the
// current folder or the loader's search) and a module file that
// kdp::CheckTrusted does not vouch for are listed as refused, with the reason.
//
// Reading the list loads nothing, so the command-line tool reads it too, to
// tell its user what is ignored.
#pragma once

#include "kdplatform/path_names.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nodyx::pkcs11 {

// Separates the module paths of NODYX_PKCS11_MODULES as PATH's entries are
// separated: ':' where paths use '/', ';' where they use '\'.
inline const char kModuleListSeparator = kdp::PathListSeparator();

struct ListedModule {
  std::string path;
  std::string refused;  // why it must not be loaded; empty: load it
};

// A configuration file that exists but was not read, and why.
struct IgnoredFile {
  std::string path;
  std::string reason;
};

struct ModuleList {
  bool registered = false;            // source 3; modules is empty then
  std::vector<ListedModule> modules;  // sources 1 and 2, in order
  std::string origin;                 // where the list came from, for people; empty for source 3
  std::optional<IgnoredFile> ignored;
};

ModuleList ReadModuleList();

// The configuration file's path; empty when the folder is not known.
std::string ModuleConfigPath();

// The paths of a configuration file's text.
std::vector<std::string> ParseModuleConfig(std::string_view text);

}  // namespace nodyx::pkcs11
