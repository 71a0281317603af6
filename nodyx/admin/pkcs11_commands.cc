#include "pkcs11_commands.h"

#include "pkcs11/module_set.h"
#include "store/hex.h"

#include "kdplatform/printable_text.h"

#include <iostream>

namespace nodyx::admin {

namespace {

std::string IdText(const pkcs11::Token& token) { return ToHex(token.id.data(), token.id.size()); }

}  // namespace

int ListModules() {
  const auto modules = pkcs11::ModuleSet::Acquire();
  // Module paths and reasons quote files that other users may name.
  std::cout << "modules from " << kdp::PrintableText(modules->origin()) << "\n";
  if (const auto& ignored = modules->ignored()) {
    std::cout << kdp::PrintableText(ignored->path) << "\tignored\t" << kdp::PrintableText(ignored->reason) << "\n";
  }
  for (const auto& status : modules->statuses()) {
    std::cout << kdp::PrintableText(status.name) << "\t"
              << (status.reason.empty() ? "in use" : "skipped\t" + kdp::PrintableText(status.reason)) << "\n";
  }
  return kOk;
}

int ListTokens() {
  for (const auto& token : pkcs11::ScanTokens(*pkcs11::ModuleSet::Acquire())) {
    // The label and the slot's description are cleaned as they are read.
    std::cout << IdText(token) << "\t" << token.label << "\t" << pkcs11::ReadSlot(*token.module, token.slot).description
              << "\t" << kdp::PrintableText(token.module->name()) << "\n";
  }
  return kOk;
}

int FindToken(const std::string& name, pkcs11::Token* token) {
  int matches = 0;
  const auto id = FromHex(name);
  for (auto& candidate : pkcs11::ScanTokens(*pkcs11::ModuleSet::Acquire())) {
    if (id && *id == candidate.id) {
      *token = std::move(candidate);
      return kOk;
    }
    if (candidate.label == name && matches++ == 0) *token = std::move(candidate);
  }
  if (matches == 1) return kOk;
  std::cerr << "nodyx-admin: "
            << (matches == 0 ? "no device or PKCS#11 token is named '" + name + "'"
                             : "several PKCS#11 tokens are labelled '" + name + "'; name one by its identifier")
            << "\n";
  return matches == 0 ? kNotFound : kRefused;
}

void AddPkcs11Commands(CLI::App& app, std::function<int(const DeviceStore&)>& run) {
  CLI::App* pkcs11 = app.add_subcommand("pkcs11", "The PKCS#11 modules and tokens the component uses");
  pkcs11->require_subcommand(1);
  pkcs11->footer(
      "Modules: $NODYX_PKCS11_MODULES, else nodyx-pkcs11.conf in the shared data folder\n"
      "(ignored when another user could have written it), else those p11-kit registers.\n"
      "Module paths must be absolute.\nExample:\n  nodyx-admin pkcs11 tokens");
  pkcs11
      ->add_subcommand(
          "modules",
          "Where the module list comes from, a list file ignored and why; each module, in use or skipped and why")
      ->callback([&run] { run = [](const DeviceStore&) { return ListModules(); }; });
  pkcs11->add_subcommand("tokens", "Each token: identifier, label, slot description, module (tab-separated)")
      ->callback([&run] { run = [](const DeviceStore&) { return ListTokens(); }; });
}

}  // namespace nodyx::admin
