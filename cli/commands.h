// The command groups. Each adds its commands to the application; the parse
// callback of the chosen command sets `run`.
#pragma once

#include "command_options.h"
#include "output.h"
#include "target.h"

namespace kdcli {

void AddDeviceCommands(CLI::App& app, Runner& run);   // devices, containers
void AddItemCommands(CLI::App& app, Runner& run);     // list, show
void AddPathCommands(CLI::App& app, Runner& run);     // info, complete, compare
void AddStorageCommands(CLI::App& app, Runner& run);  // load, save, exists, size, delete
void AddCopyCommand(CLI::App& app, Runner& run);      // copy
void AddFilterCommands(CLI::App& app, Runner& run);   // filter save
void AddPinCommands(CLI::App& app, Runner& run);      // pin show, pin remove

// {"path": as given} and, for a designation, "resolved": the device path used.
Json TargetJson(const Target& target);

}  // namespace kdcli
