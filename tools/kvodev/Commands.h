// The subcommands. Each returns its exit status (see Errors.h); bad input
// throws InputError before the configuration is opened.
#pragma once

#include <kvodevice/IDeviceManagerIO.h>

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

// A unit's details and links through the editing interface (UnitEditCommands.cpp).
int RunLink(Context& ctx);
int RunUnitsShow(Context& ctx);
int RunUnitsSet(Context& ctx);
// units remove --unlink: the unit's port links on both sides first.
int RunUnitsRemoveUnlinking(Context& ctx, const dev::UnitKey& unit);

// The sets of units (SetCommands.cpp).
int RunSets(Context& ctx);
int RunSetsShow(Context& ctx);
int RunSetsCreate(Context& ctx);
int RunSetsAdd(Context& ctx);
int RunSetsRemove(Context& ctx);
int RunSetsActivate(Context& ctx);

// The driver file list (DriverCommands.cpp).
int RunDrivers(Context& ctx);
int RunDriversAdd(Context& ctx);
int RunDriversClear(Context& ctx);
int RunDriversRemove(Context& ctx);

// The files of the data directory (CheckCommand.cpp, SchemaCommand.cpp).
int RunCheck(Context& ctx);
int RunSchema(Context& ctx);

// The replaced versions of the document (HistoryCommands.cpp, DiffCommand.cpp).
int RunHistory(Context& ctx);
int RunDiff(Context& ctx);
int RunRestore(Context& ctx);

// The configuration as a graph (GraphCommand.cpp).
int RunGraph(Context& ctx);

// Extended device information from INI files (DeviceInfoCommands.cpp).
int RunCaps(Context& ctx);
int RunIni(Context& ctx);
// ini --lint (LintCommand.cpp).
int RunIniLint(Context& ctx);

// One line on standard error, after the program's name.
void Complain(const std::string& line);

}  // namespace kvodev
