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

void AddPinOptions(CLI::App* command, PinOptions* pin) {
  command->add_option("--pin-file", pin->file, "Read the PIN from the first line of FILE")->type_name("FILE");
  command->add_option("--pin-fd", pin->fd, "Read the PIN from the first line of descriptor N")
      ->type_name("N")
      ->check(CLI::Validator(CLI::NonNegativeNumber).description(""));
  command->add_option("--pin-env", pin->env, "Take the PIN from environment variable NAME")->type_name("NAME");
  command->add_flag("--ask-pin", pin->ask, "Prompt for the PIN on the terminal (no echo)");
}

}  // namespace kdcli
