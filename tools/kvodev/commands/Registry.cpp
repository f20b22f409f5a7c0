#include "commands/Registry.h"

namespace kvodev {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = [] {
    std::vector<Command> all;
    for (std::vector<Command> (*word)() :
         {UnitsCommands, PortsCommands, LinkCommands, UnlinkCommands, SetsCommands, DriversCommands, CheckCommands,
          HistoryCommands, WatchCommands, DiffCommands, RestoreCommands, SchemaCommands, GraphCommands, CapsCommands,
          IniCommands, HelpCommands})
      for (Command& command : word()) all.push_back(std::move(command));
    return all;
  }();
  return commands;
}

}  // namespace kvodev
