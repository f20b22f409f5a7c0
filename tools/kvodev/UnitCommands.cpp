// units, units add/remove/exists, ports, ports remove, unlink.
#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Ids.h"
#include "Table.h"
#include "Utf8.h"

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
  for (const dev::UnitKey& unit : units) {
    Json entry{{"unit", FormatUnit(unit)}, {"device", unit.device}, {"index", unit.index}};
    dev::UnitDetails details;
    // A unit the editor cannot read (a malformed id) has nothing to show.
    if (ctx.args.longList) entry.update({{"setup", nullptr}, {"name", nullptr}, {"model", nullptr}, {"ports", Json::array()}});
    if (ctx.args.longList && config.edit().GetUnit(unit, details)) {
      const auto text = [&details](dev::UnitText which) {
        const auto i = static_cast<std::size_t>(which);
        return details.has[i] ? Json(EncodeUtf8(details.text[i])) : Json(nullptr);
      };
      entry["name"] = text(dev::UnitText::UnitName);
      entry["model"] = text(dev::UnitText::Model);
      entry["setup"] = details.setup == dev::UnitSetup::Include   ? Json("include")
                       : details.setup == dev::UnitSetup::Exclude ? Json("exclude")
                                                                  : Json(nullptr);
      for (const dev::PortAddress& port : details.ports) entry["ports"].push_back(FormatPort(port));
    }
    report.data["units"].push_back(std::move(entry));
  }
  report.data["complete"] = complete;
  report.text = [](const Json& data, const TextOut& out) {
    if (data["units"].empty()) return out.Notice("no units");
    const bool long_ = data["units"][0].contains("ports");
    std::vector<Table::Column> columns{{"UNIT"}, {"DEVICE", Table::Align::Right}, {"INDEX", Table::Align::Right}};
    if (long_) columns.insert(columns.end(), {{"SETUP"}, {"NAME"}, {"MODEL"}, {"PORTS"}});
    Table table(columns);
    const auto cell = [](const Json& value) { return value.is_null() ? std::string("-") : value.get<std::string>(); };
    for (const Json& unit : data["units"]) {
      std::vector<std::string> row{unit["unit"], std::to_string(unit["device"].get<int>()), std::to_string(unit["index"].get<int>())};
      if (long_)
        row.insert(row.end(), {cell(unit["setup"]), cell(unit["name"]), cell(unit["model"]), Joined(unit["ports"], ",", "-")});
      table.AddRow(row);
    }
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

namespace {

// Every port of the document with the units it links, as the library reads the file.
Report AllPorts(Configuration& config) {
  const dev::DocumentContent content = dev::ReadDocumentContent(config.files().document.wstring());
  Report report(Json{{"ports", Json::array()}});
  for (const dev::PortEntry& port : content.ports) {
    Json units = Json::array();
    for (const std::wstring& unit : port.units) units.push_back(EncodeUtf8(unit));
    report.data["ports"].push_back({{"port", EncodeUtf8(port.portNo)}, {"interface", EncodeUtf8(port.interfaceName)},
                                    {"units", units}, {"line", port.line}});
  }
  report.text = [](const Json& data, const TextOut& out) {
    if (data["ports"].empty()) return out.Notice("no ports");
    Table table({{"PORT"}, {"INTERFACE"}, {"UNITS"}});
    for (const Json& port : data["ports"]) table.AddRow({port["port"], port["interface"], Joined(port["units"], ", ", "-")});
    table.Print(out.out, out.style);
  };
  config.Finish(report, content.wellFormed, "the document could not be read");
  return report;
}

}  // namespace

Report RunPorts(Context& ctx) {
  if (ctx.operands.empty()) {
    Configuration config(ctx.dataDir, Access::ReadOnly);
    return config.loaded() ? AllPorts(config) : config.Unloadable();
  }
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
