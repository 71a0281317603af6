// The command groups. Each adds its commands to the application; the parse
// callback of the chosen command sets `run`.
#pragma once

#include "command_options.h"

namespace kdcli {

void AddDeviceCommands(CLI::App& app, Runner& run);   // devices, containers
void AddPathCommands(CLI::App& app, Runner& run);     // info, complete, compare
void AddStorageCommands(CLI::App& app, Runner& run);  // load, save, exists, size, delete
void AddFilterCommands(CLI::App& app, Runner& run);   // filter save
void AddPinCommands(CLI::App& app, Runner& run);      // pin show, pin remove

}  // namespace kdcli
