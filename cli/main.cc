// keydepot: names, inspects, stores and fetches key material from the shell.
// Exit codes: exit_codes.h; reference: docs/cli.md.
#include "commands.h"
#include "exit_codes.h"
#include "failure.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace {

constexpr const char* kFooter =
    "Storage paths: a file or folder (/srv/keys/cert.pem), a device path (1|2\\5|100\\17|<id>\\8|<container>),\n"
    "\\\\!\\<type name>\\<identifier>\\<container> or \\\\.\\<system name>\\<container>; a container may end in\n"
    "':.<sub-name>'. PINs are never taken from the command line.\n"
    "Exit codes: 0 done, 1 no (exists, compare), 2 usage, 3 failed, 4 not found, 5 PIN needed or refused,\n"
    "6 bad path, 7 local file or PIN source unusable.\n"
    "Example:\n"
    "  keydepot devices";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"keydepot: name, find, load and save keys and certificates in folders and on devices."};
  app.name("keydepot");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("keydepot ") + KEYDEPOT_CLI_VERSION);
  app.require_subcommand(1);

  kdcli::Runner run;
  kdcli::AddDeviceCommands(app, run);
  kdcli::AddPathCommands(app, run);
  kdcli::AddStorageCommands(app, run);
  kdcli::AddFilterCommands(app, run);
  kdcli::AddPinCommands(app, run);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kdcli::kOk : kdcli::kUsage;
  }

  std::string command;
  for (const CLI::App* sub = &app; !sub->get_subcommands().empty();) {
    sub = sub->get_subcommands().front();
    command += " " + sub->get_name();
  }
  try {
    return run();
  } catch (const kdcli::Failure& e) {
    std::cerr << "keydepot" << command << ": " << e.what() << '\n';
    return e.code();
  } catch (const _com_error& e) {
    std::cerr << "keydepot" << command << ": " << kdcli::DescribeHresult(e.Error()) << '\n';
    return kdcli::kFailed;
  } catch (const std::exception& e) {
    std::cerr << "keydepot" << command << ": " << e.what() << '\n';
    return kdcli::kFailed;
  }
}
