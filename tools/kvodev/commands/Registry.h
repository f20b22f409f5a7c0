// The command table, put together from the file of each command word.
#pragma once

#include <string_view>
#include <vector>

#include "shared/Command.h"

namespace kvodev {

// The commands of one word, the word itself first; one function per file
// (units.cpp: UnitsCommands).
std::vector<Command> UnitsCommands();
std::vector<Command> PortsCommands();
std::vector<Command> LinkCommands();
std::vector<Command> UnlinkCommands();
std::vector<Command> SetsCommands();
std::vector<Command> DriversCommands();
std::vector<Command> CheckCommands();
std::vector<Command> HistoryCommands();
std::vector<Command> WatchCommands();
std::vector<Command> DiffCommands();
std::vector<Command> RestoreCommands();
std::vector<Command> SchemaCommands();
std::vector<Command> GraphCommands();
std::vector<Command> CapsCommands();
std::vector<Command> IniCommands();
std::vector<Command> HelpCommands();

// Every command, in the order the help lists them.
const std::vector<Command>& Commands();

// What the help says after the commands: operands, exit statuses, an example (help.cpp).
extern const std::string_view kOverviewFooter;

}  // namespace kvodev
