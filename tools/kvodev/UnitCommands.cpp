// units, units add/remove/exists, ports, unlink.
#include <iostream>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Ids.h"
#include "Json.h"
#include "Table.h"

namespace kvodev {

using Access = Configuration::Access;

void Complain(const std::string& line) { std::cerr << "kvodev: " << line << '\n'; }

int RunUnits(Context& ctx) {
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return NotLoaded;
  std::vector<dev::UnitKey> units;
  const bool complete = config->GetUnitList(units, ctx.args.skipExcluded);
  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Key("units").BeginArray();
    for (const dev::UnitKey& unit : units)
      json.BeginObject()
          .Member("unit", FormatUnit(unit))
          .Member("device", unit.device)
          .Member("index", unit.index)
          .EndObject();
    json.EndArray().Member("complete", complete).EndObject();
  } else if (units.empty()) {
    std::cout << "no units\n";
  } else {
    Table table({{"UNIT"}, {"DEVICE", Table::Align::Right}, {"INDEX", Table::Align::Right}});
    for (const dev::UnitKey& unit : units)
      table.AddRow({FormatUnit(unit), std::to_string(unit.device), std::to_string(unit.index)});
    table.Print(std::cout);
  }
  return config.Finish(complete, "the unit list is damaged: only the units before the damage are listed");
}

int RunUnitsAdd(Context& ctx) {
  // A lone number is a DEVICE without its INDEX rather than a mistyped unit id.
  if (ctx.operands.size() == 1 && ctx.operands[0].find_first_not_of("0123456789") == std::string::npos)
    throw InputError("missing operands: usage: kvodev units add UNIT|DEVICE [INDEX]");
  const dev::UnitKey unit =
      ctx.operands.size() == 1
          ? ParseUnit(ctx.operands[0])
          : dev::UnitKey{static_cast<std::uint16_t>(ParseNumber(ctx.operands[0], 65535, "device number")),
                         static_cast<std::uint16_t>(ParseNumber(ctx.operands[1], 65535, "unit index"))};
  Configuration config(ctx.dataDir, Access::Change);
  const bool added = config.Commit(config->AddUnit(unit));
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("unit", FormatUnit(unit)).Member("added", added).EndObject();
  else if (added)
    std::cout << "added " << FormatUnit(unit) << '\n';
  return config.Finish(added, FormatUnit(unit) + " is listed already");
}

int RunUnitsRemove(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  if (ctx.args.unlink) return RunUnitsRemoveUnlinking(ctx, unit);
  Configuration config(ctx.dataDir, Access::Change);
  const bool removed = config.Commit(config->RemoveUnit(unit));
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("unit", FormatUnit(unit)).Member("removed", removed).EndObject();
  else if (removed)
    std::cout << "removed " << FormatUnit(unit) << " and its set memberships (its port links stay)\n";
  return config.Finish(removed, FormatUnit(unit) + " is not listed (or a set without a name stopped the removal)");
}

int RunUnitsExists(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return NotLoaded;
  const bool exists = config->ExistsUnit(unit);
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("unit", FormatUnit(unit)).Member("exists", exists).EndObject();
  else
    std::cout << FormatUnit(unit) << (exists ? " is listed\n" : " is not listed\n");
  return config.Finish(exists, "");
}

int RunPorts(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return NotLoaded;
  std::vector<dev::PortAddress> ports;
  const bool complete = config->GetUnitPorts(unit, ports);
  const auto type = [](const dev::PortAddress& port) { return port.portType == dev::PortSerial ? "serial" : "other"; };
  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Member("unit", FormatUnit(unit)).Key("ports").BeginArray();
    for (const dev::PortAddress& port : ports)
      json.BeginObject()
          .Member("port", FormatPort(port))
          .Member("type", type(port))
          .Member("number", port.portNumber)
          .EndObject();
    json.EndArray().Member("complete", complete).EndObject();
  } else if (ports.empty()) {
    std::cout << "no port links " << FormatUnit(unit) << '\n';
  } else {
    Table table({{"PORT"}, {"TYPE"}, {"NUMBER", Table::Align::Right}});
    for (const dev::PortAddress& port : ports)
      table.AddRow({FormatPort(port), type(port), std::to_string(port.portNumber)});
    table.Print(std::cout);
  }
  return config.Finish(complete, "the port list is damaged: only the ports before a port without a name are listed");
}

int RunUnlink(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const dev::PortAddress port = ParsePort(ctx.operands[1]);
  Configuration config(ctx.dataDir, Access::Change);
  const bool unlinked = config.Commit(config->UnlinkUnitPort(unit, port));
  if (ctx.args.json)
    JsonWriter(std::cout)
        .BeginObject()
        .Member("unit", FormatUnit(unit))
        .Member("port", FormatPort(port))
        .Member("unlinked", unlinked)
        .EndObject();
  else if (unlinked)
    std::cout << "unlinked " << FormatUnit(unit) << " and " << FormatPort(port) << '\n';
  return config.Finish(unlinked,
                       FormatUnit(unit) + " and " + FormatPort(port) +
                           " were not linked on both sides (a link on the unit's side alone is removed all the same)");
}

}  // namespace kvodev
