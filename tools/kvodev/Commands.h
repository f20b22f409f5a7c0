// The subcommands. Each returns its exit status (see Errors.h); bad input
// throws InputError before the configuration is opened.
#pragma once

#include <string>

#include "Context.h"

namespace kvodev {

// The installed units (UnitCommands.cpp).
int RunUnits(Context& ctx);
int RunUnitsAdd(Context& ctx);
int RunUnitsRemove(Context& ctx);
int RunUnitsExists(Context& ctx);
int RunPorts(Context& ctx);
int RunUnlink(Context& ctx);

// The driver file list (DriverCommands.cpp).
int RunDrivers(Context& ctx);
int RunDriversAdd(Context& ctx);
int RunDriversClear(Context& ctx);

// The files of the data directory (CheckCommand.cpp, SchemaCommand.cpp).
int RunCheck(Context& ctx);
int RunSchema(Context& ctx);

// The replaced versions of the document (HistoryCommands.cpp, DiffCommand.cpp).
int RunHistory(Context& ctx);
int RunDiff(Context& ctx);
int RunRestore(Context& ctx);

// Extended device information from INI files (DeviceInfoCommands.cpp).
int RunCaps(Context& ctx);
int RunIni(Context& ctx);

// One line on standard error, after the program's name.
void Complain(const std::string& line);

}  // namespace kvodev
