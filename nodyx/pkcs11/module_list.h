// Which PKCS#11 modules the component uses, first match wins:
//  1. NODYX_PKCS11_MODULES, when set: module paths separated like PATH
//     (':' on Linux, ';' on Windows). Set but empty: no module at all.
//  2. The file nodyx-pkcs11.conf in the shared data folder (Maltrove under
//     the common application-data folder), when it exists: one module path
//     per line; blank lines and lines starting with '#' are ignored.
//  3. Otherwise the modules the system's PKCS#11 configuration registers
//     (p11-kit on Linux; Windows registers none; module_loader.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nodyx::pkcs11 {

struct ModuleList {
  bool registered = false;         // source 3; paths is empty then
  std::vector<std::string> paths;  // sources 1 and 2, in order
  std::string origin;              // where the list came from, for people
};

ModuleList ReadModuleList();

// The configuration file's path; empty when the folder is not known.
std::string ModuleConfigPath();

// The paths of a configuration file's text.
std::vector<std::string> ParseModuleConfig(std::string_view text);

}  // namespace nodyx::pkcs11
