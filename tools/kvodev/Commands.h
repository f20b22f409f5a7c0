// The commands. Each collects its result in a Report, which main renders as
// text or JSON; bad input throws InputError before the configuration is opened.
#pragma once

#include <kvodevice/IDeviceManagerIO.h>

#include <string>

#include "Context.h"
#include "Report.h"

namespace kvodev {

// The installed units (UnitCommands.cpp).
Report RunUnits(Context& ctx);
Report RunUnitsAdd(Context& ctx);
Report RunUnitsRemove(Context& ctx);
Report RunUnitsExists(Context& ctx);
Report RunPorts(Context& ctx);
Report RunPortsRemove(Context& ctx);
Report RunUnlink(Context& ctx);

// A unit's details and links through the editing interface (UnitEditCommands.cpp).
Report RunLink(Context& ctx);
Report RunUnitsShow(Context& ctx);
Report RunUnitsSet(Context& ctx);
Report RunUnitsRename(Context& ctx);
// units remove --unlink: the unit's port links on both sides first.
Report RunUnitsRemoveUnlinking(Context& ctx, const dev::UnitKey& unit);

// The sets of units (SetCommands.cpp).
Report RunSets(Context& ctx);
Report RunSetsShow(Context& ctx);
Report RunSetsCreate(Context& ctx);
Report RunSetsComment(Context& ctx);
Report RunSetsRename(Context& ctx);
Report RunSetsDelete(Context& ctx);
Report RunSetsAdd(Context& ctx);
Report RunSetsRemove(Context& ctx);
Report RunSetsActivate(Context& ctx);

// Every change of the configuration as it happens (WatchCommand.cpp).
Report RunWatch(Context& ctx);

// The driver file list (DriverCommands.cpp).
Report RunDrivers(Context& ctx);
Report RunDriversAdd(Context& ctx);
Report RunDriversClear(Context& ctx);
Report RunDriversRemove(Context& ctx);

// The files of the data directory (CheckCommand.cpp, SchemaCommand.cpp).
Report RunCheck(Context& ctx);
Report RunSchema(Context& ctx);

// The replaced versions of the document (HistoryCommands.cpp, DiffCommand.cpp).
Report RunHistory(Context& ctx);
Report RunDiff(Context& ctx);
Report RunRestore(Context& ctx);

// The configuration as a graph (GraphCommand.cpp).
Report RunGraph(Context& ctx);

// Extended device information from INI files (DeviceInfoCommands.cpp).
Report RunCaps(Context& ctx);
Report RunIni(Context& ctx);
// ini --lint (LintCommand.cpp).
Report RunIniLint(Context& ctx);

}  // namespace kvodev
