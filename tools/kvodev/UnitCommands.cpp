// units, units add/remove/exists, ports, unlink.
#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Ids.h"
#include "Table.h"

namespace kvodev {
namespace {

using Access = Configuration::Access;

// {"unit": "U303x0", ...}: the start of the result of a command about one unit.
Json AboutUnit(const dev::UnitKey& unit) { return Json{{"unit", FormatUnit(unit)}}; }

}  // namespace

Report RunUnits(Context& ctx) {
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  std::vector<dev::UnitKey> units;
  const bool complete = config->GetUnitList(units, ctx.args.skipExcluded);
  Report report;
  report.data["units"] = Json::array();
  for (const dev::UnitKey& unit : units)
    report.data["units"].push_back({{"unit", FormatUnit(unit)}, {"device", unit.device}, {"index", unit.index}});
  report.data["complete"] = complete;
  report.text = [](const Json& data, const TextOut& out) {
    if (data["units"].empty()) return out.Notice("no units");
    Table table({{"UNIT"}, {"DEVICE", Table::Align::Right}, {"INDEX", Table::Align::Right}});
    for (const Json& unit : data["units"])
      table.AddRow({unit["unit"], std::to_string(unit["device"].get<int>()), std::to_string(unit["index"].get<int>())});
    table.Print(out.out, out.style);
  };
  config.Finish(report, complete, "the unit list is damaged: only the units before the damage are listed");
  return report;
}

Report RunUnitsAdd(Context& ctx) {
  // A lone number is a DEVICE without its INDEX rather than a mistyped unit id.
  if (ctx.operands.size() == 1 && ctx.operands[0].find_first_not_of("0123456789") == std::string::npos)
    throw InputError("missing operands: usage: kvodev units add UNIT|DEVICE [INDEX]");
  const dev::UnitKey unit =
      ctx.operands.size() == 1
          ? ParseUnit(ctx.operands[0])
          : dev::UnitKey{static_cast<std::uint16_t>(ParseNumber(ctx.operands[0], 65535, "device number")),
                         static_cast<std::uint16_t>(ParseNumber(ctx.operands[1], 65535, "unit index"))};
  if (unit.device == 65535)
    throw InputError("device 65535 means no device: a unit of it could not be told from a malformed id (" +
                     FormatUnit(unit) + ")");
  Configuration config(ctx.dataDir, Access::Change);
  Report report(AboutUnit(unit));
  report.data["added"] = config.Commit(config->AddUnit(unit));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["added"]) out.out << "added " << data["unit"].get<std::string>() << '\n';
  };
  config.Finish(report, report.data["added"], FormatUnit(unit) + " is listed already");
  return report;
}

Report RunUnitsRemove(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  if (ctx.args.unlink) return RunUnitsRemoveUnlinking(ctx, unit);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(AboutUnit(unit));
  report.data["removed"] = config.Commit(config->RemoveUnit(unit));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["removed"])
      out.out << "removed " << data["unit"].get<std::string>() << " and its set memberships (its port links stay)\n";
  };
  config.Finish(report, report.data["removed"],
                FormatUnit(unit) + " is not listed (or a set without a name stopped the removal)");
  return report;
}

Report RunUnitsExists(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  Report report(AboutUnit(unit));
  report.data["exists"] = config->ExistsUnit(unit);
  report.text = [](const Json& data, const TextOut& out) {
    out.out << data["unit"].get<std::string>() << (data["exists"] ? " is listed\n" : " is not listed\n");
  };
  config.Finish(report, report.data["exists"], "");
  return report;
}

Report RunPorts(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  std::vector<dev::PortAddress> ports;
  const bool complete = config->GetUnitPorts(unit, ports), listed = config->ExistsUnit(unit);
  Report report(AboutUnit(unit));
  report.data["listed"] = listed;
  report.data["ports"] = Json::array();
  for (const dev::PortAddress& port : ports)
    report.data["ports"].push_back({{"port", FormatPort(port)},
                                    {"type", port.portType == dev::PortSerial ? "serial" : "other"},
                                    {"number", port.portNumber}});
  report.data["complete"] = complete;
  report.text = [](const Json& data, const TextOut& out) {
    if (!data["listed"]) return;
    if (data["ports"].empty()) return out.Notice("no port links " + data["unit"].get<std::string>());
    Table table({{"PORT"}, {"TYPE"}, {"NUMBER", Table::Align::Right}});
    for (const Json& port : data["ports"])
      table.AddRow({port["port"], port["type"], std::to_string(port["number"].get<long>())});
    table.Print(out.out, out.style);
  };
  config.Finish(report, listed && complete,
                listed ? "the port list is damaged: only the ports before a port without a name are listed"
                       : FormatUnit(unit) + " is not listed");
  return report;
}

Report RunPortsRemove(Context& ctx) {
  const dev::PortAddress port = ParsePort(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"port", FormatPort(port)}});
  report.data["removed"] = config.Commit(config.edit().RemovePort(port));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["removed"]) out.out << "removed " << data["port"].get<std::string>() << " and every link to it\n";
  };
  config.Finish(report, report.data["removed"], "there is no port " + FormatPort(port));
  return report;
}

Report RunUnlink(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const dev::PortAddress port = ParsePort(ctx.operands[1]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(AboutUnit(unit));
  report.data["port"] = FormatPort(port);
  report.data["unlinked"] = config.Commit(config->UnlinkUnitPort(unit, port));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["unlinked"])
      out.out << "unlinked " << data["unit"].get<std::string>() << " and " << data["port"].get<std::string>() << '\n';
  };
  config.Finish(report, report.data["unlinked"],
                FormatUnit(unit) + " and " + FormatPort(port) +
                    " were not linked on both sides (a link on the unit's side alone is removed all the same)");
  return report;
}

}  // namespace kvodev
