// keydepot: names, inspects, stores and fetches key material from the shell.
// Exit codes: kdtools/exit_codes.h (shared with nodyx-admin); reference: docs/cli.md.
#include "commands.h"
#include "edit_distance.h"
#include "failure.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <kdplatform/terminal.h>
#include <kdtools/json_output.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* kFooter =
    "Storage paths: a file or folder (/srv/keys/cert.pem), a device path (1|2\\5|100\\17|<id>\\8|<container>),\n"
    "\\\\!\\<type name>\\<identifier>\\<container> or \\\\.\\<system name>\\<container> (the first attached device\n"
    "that matches), DEV|<type>|<item>| or FLS|<file>|; a container may end in ':.<sub-name>'.\n"
    "PINs are never taken from the command line.\n"
    "Exit codes: 0 done, 1 no (exists, compare), 2 usage, 3 failed, 4 not found, 5 PIN needed or refused,\n"
    "6 bad path, 7 local file or PIN source unusable, 8 exists (--no-clobber), 9 device busy (try again).\n"
    "Example:\n"
    "  keydepot devices";

// A message for a command word that names no command, with the nearest
// command when one is close; nothing when the command words are all known.
// Only the words before the first option are looked at: commands and groups
// take no option values before their subcommand.
std::optional<std::string> UnknownCommand(const CLI::App& app, int argc, char** argv) {
  const CLI::App* level = &app;
  std::string words = "keydepot";
  for (int i = 1; i < argc && !level->get_subcommands({}).empty(); ++i) {
    const std::string word = argv[i];
    if (word.empty() || word[0] == '-') continue;
    const CLI::App* next = nullptr;
    for (const CLI::App* sub : level->get_subcommands({})) {
      if (sub->get_name() == word) next = sub;
    }
    if (next != nullptr) {
      level = next;
      words += " " + word;
      continue;
    }
    std::string nearest;
    std::size_t best = 3;  // farther than two edits is no suggestion
    for (const CLI::App* sub : level->get_subcommands({})) {
      const std::size_t distance = kdcli::EditDistance(word, sub->get_name());
      if (distance < best || (sub->get_name().rfind(word, 0) == 0 && nearest.empty())) {
        best = std::min(best, distance);
        nearest = sub->get_name();
      }
    }
    std::string message = "'" + word + "' is not a command of " + words;
    if (!nearest.empty()) message += "; did you mean '" + nearest + "'?";
    return message + " (" + words + " --help lists them)";
  }
  return std::nullopt;
}

// The options other tools take a PIN with, which this tool refuses by name:
// a PIN on the command line is readable by every user (ps, /proc) and kept in
// shell history. The PIN itself is never repeated.
std::optional<std::string> PinOnCommandLine(int argc, char** argv) {
  static constexpr std::string_view kTaken[] = {"--pin", "--pinfile", "--pin-value", "--password", "--passwd"};
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    for (const std::string_view option : kTaken) {
      if (arg == option || arg.starts_with(std::string(option) + "=")) {
        return std::string(option) +
               " is not an option: PINs never come from the command line, where other users can read them. Use "
               "--pin-file FILE, --pin-fd N, --pin-env NAME, --ask-pin or --saved-pin";
      }
    }
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  const kdp::ConsoleShowsAnsiText console;
  CLI::App app{"keydepot: name, find, load and save keys and certificates in folders and on devices."};
  app.name("keydepot");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("keydepot ") + KEYDEPOT_CLI_VERSION);
  app.require_subcommand(1);
  // --quiet may also follow the command's own words.
  app.fallthrough();
  bool quiet = false;
  app.add_flag("-q,--quiet", quiet, "Print nothing on success but the data asked for; the exit code tells the rest");

  kdcli::Runner run;
  kdcli::AddDeviceCommands(app, run);
  kdcli::AddItemCommands(app, run);
  kdcli::AddPathCommands(app, run);
  kdcli::AddStorageCommands(app, run);
  kdcli::AddCopyCommand(app, run);
  kdcli::AddFilterCommands(app, run);
  kdcli::AddPinCommands(app, run);

  const bool json = kdtools::WantsJson(argc, argv);
  std::optional<std::string> refused = UnknownCommand(app, argc, argv);
  if (!refused) refused = PinOnCommandLine(argc, argv);
  if (refused) {
    const kdcli::Failure failure(kdcli::kUsage, *refused);
    kdcli::Error(failure.what());
    if (json) kdcli::PrintJsonError(failure);
    return kdcli::kUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e) == 0 ? kdcli::kOk : kdcli::kUsage;
    if (code != kdcli::kOk && json) kdcli::PrintJsonError(kdcli::Failure(kdcli::kUsage, e.what()));
    return code;
  }

  std::string command;
  for (const CLI::App* sub = &app; !sub->get_subcommands().empty();) {
    sub = sub->get_subcommands().front();
    command += " " + sub->get_name();
  }
  kdcli::SetReporting(command, quiet);
  auto fail = [json](const kdcli::Failure& failure) {
    kdcli::Error(failure.what());
    if (json) kdcli::PrintJsonError(failure);
    return failure.code();
  };
  try {
    return run();
  } catch (const kdcli::Failure& e) {
    return fail(e);
  } catch (const _com_error& e) {
    return fail(kdcli::Failure(kdcli::kFailed, kdcli::DescribeHresult(e.Error())));
  } catch (const std::exception& e) {
    return fail(kdcli::Failure(kdcli::kFailed, e.what()));
  }
}
