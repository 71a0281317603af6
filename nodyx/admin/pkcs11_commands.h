// "pkcs11 modules|tokens": what the component sees of PKCS#11, for people
// setting up smart cards, USB tokens and HSMs. Tokens are also named by the
// "pin" commands (saved_pin_commands.h), by label or identifier text.
#pragma once

#include "commands.h"
#include "pkcs11/token.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace nodyx::admin {

void AddPkcs11Commands(CLI::App& app, std::function<int(const DeviceStore&)>& run);

// Where the module list comes from, then each module: name, "in use" or
// "skipped" with the reason (tab-separated).
int ListModules();
// Each token: identifier text, label, slot description, module.
int ListTokens();

// The attached token whose label or identifier text is `name`. kNotFound
// when none is, kBadPath when several tokens carry that label.
int FindToken(const std::string& name, pkcs11::Token* token);

}  // namespace nodyx::admin
