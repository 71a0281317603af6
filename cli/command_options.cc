#include "command_options.h"

namespace kdcli {

CLI::App* AddCommand(CLI::App& parent, const char* name, const char* description,
                     std::initializer_list<const char*> examples) {
  CLI::App* command = parent.add_subcommand(name, description);
  std::string footer = examples.size() == 1 ? "Example:" : "Examples:";
  for (const char* example : examples) footer += std::string("\n  ") + example;
  command->footer(footer);
  return command;
}

void AddJsonFlag(CLI::App* command, bool* json) {
  command->add_flag("--json", *json, "Print one JSON object (shapes in docs/cli.md)");
}

void AddFilterOption(CLI::App* command, std::string* filterPath) {
  command->add_option("--filter", *filterPath, "Device-type filter file (default: the shared one)")->type_name("FILE");
}

void AddPinOptions(CLI::App* command, PinOptions* pin, const std::string& side, const std::string& sideName) {
  const std::string prefix = side.empty() ? "--" : "--" + side + "-";
  const std::string thePin = side.empty() ? "the PIN" : "the " + sideName + " device's PIN";
  command->add_option(prefix + "pin-file", pin->file, "Read " + thePin + " from the first line of FILE")
      ->type_name("FILE");
  command->add_option(prefix + "pin-fd", pin->fd, "Read " + thePin + " from the first line of descriptor N")
      ->type_name("N")
      ->check(CLI::Validator(CLI::NonNegativeNumber).description(""));
  command->add_option(prefix + "pin-env", pin->env, "Take " + thePin + " from environment variable NAME")
      ->type_name("NAME");
  command->add_flag(prefix + "ask-pin", pin->ask, "Prompt for " + thePin + " on the terminal (no echo)");
  const std::string theDevice = side.empty() ? "the device" : "the " + sideName + " device";
  command->add_flag(prefix + "saved-pin", pin->saved, "Use the PIN saved for " + theDevice + " (nodyx-admin pin save)");
}

}  // namespace kdcli
