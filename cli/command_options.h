// Options shared by several commands, and the way every command is declared
// (a description and at least one example in its --help).
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <initializer_list>
#include <string>

namespace kdcli {

// What the chosen command does once the command line is parsed; returns the
// exit code. Set by the command's parse callback.
using Runner = std::function<int()>;

// Where a PIN comes from. At most one source; none means no PIN unless the
// device asks for one and standard input is a terminal (then a prompt).
struct PinOptions {
  std::string file;
  int fd = -1;
  std::string env;
  bool ask = false;
  bool saved = false;  // the PIN saved for the device (nodyx-admin pin save)
  int Count() const { return !file.empty() + (fd >= 0) + !env.empty() + ask + saved; }
};

CLI::App* AddCommand(CLI::App& parent, const char* name, const char* description,
                     std::initializer_list<const char*> examples);
void AddJsonFlag(CLI::App* command, bool* json);
// --filter FILE: the device-type filter file of the session.
void AddFilterOption(CLI::App* command, std::string* filterPath);
// --pin-file and the other PIN sources. With a side ("src", "source"), the
// options are --src-pin-file and so on, for the PIN of that side's device.
void AddPinOptions(CLI::App* command, PinOptions* pin, const std::string& side = "", const std::string& sideName = "");

}  // namespace kdcli
