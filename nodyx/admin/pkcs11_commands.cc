#include "pkcs11_commands.h"

#include "pkcs11/module_set.h"
#include "store/hex.h"

#include "kdplatform/printable_text.h"

namespace nodyx::admin {

namespace {

std::string IdText(const pkcs11::Token& token) { return ToHex(token.id.data(), token.id.size()); }

}  // namespace

int ListModules() {
  const auto modules = pkcs11::ModuleSet::Acquire();
  // Module paths and reasons quote files that other users may name.
  Out() << "modules from " << kdp::PrintableText(modules->origin()) << "\n";
  Json ignored = nullptr, list = Json::array();
  if (const auto& file = modules->ignored()) {
    Out() << kdp::PrintableText(file->path) << "\tignored\t" << kdp::PrintableText(file->reason) << "\n";
    ignored = {{"path", file->path}, {"reason", file->reason}};
  }
  for (const auto& status : modules->statuses()) {
    Out() << kdp::PrintableText(status.name) << "\t"
          << (status.reason.empty() ? "in use" : "skipped\t" + kdp::PrintableText(status.reason)) << "\n";
    list.push_back({{"module", status.name},
                    {"in_use", status.reason.empty()},
                    {"reason", status.reason.empty() ? Json(nullptr) : Json(status.reason)}});
  }
  Result() = {{"origin", modules->origin()}, {"ignored", ignored}, {"modules", list}};
  return kOk;
}

int ListTokens() {
  Json list = Json::array();
  for (const auto& token : pkcs11::ScanTokens(*pkcs11::ModuleSet::Acquire())) {
    // The label and the slot's description are cleaned as they are read.
    const std::string slot = pkcs11::ReadSlot(*token.module, token.slot).description;
    Out() << IdText(token) << "\t" << token.label << "\t" << slot << "\t" << kdp::PrintableText(token.module->name())
          << "\n";
    list.push_back(
        {{"id_text", IdText(token)}, {"label", token.label}, {"slot", slot}, {"module", token.module->name()}});
  }
  Result() = {{"tokens", list}};
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
  return Report(matches == 0 ? kNotFound : kBadPath,
                matches == 0 ? "no device or PKCS#11 token is named '" + name + "'"
                             : "several PKCS#11 tokens are labelled '" + name + "'; name one by its identifier");
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
