#include "commands.h"

namespace kdcli {

void AddPinCommands(CLI::App&, Runner&) {}

}  // namespace kdcli
