// ports, ports remove: the serial ports and the units they link.
#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Ids.h"
#include "shared/Table.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

using Access = Configuration::Access;

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
  Report report(Json{{"unit", FormatUnit(unit)}});
  report.data["listed"] = listed;
  report.data["ports"] = Json::array();
  for (const dev::PortAddress& port : ports)
    report.data["ports"].push_back({{"port", ShowPort(port)},
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

const Command kPorts{"ports", {"[UNIT]"}, {}, true, RunPorts,
    "list the ports, or those linked to a unit",
    "Without UNIT, lists every port of the document with the units it links, in\n"
    "document order. With UNIT, lists every port that links the unit, in document\n"
    "order (a port linking it twice shows twice); exit status 1 when the unit is\n"
    "not listed, or when a port without a name ends the list.\n\n"
    "example:\n  kvodev ports\n  kvodev ports U303x0\n"};

Report RunPortsRemove(Context& ctx) {
  const dev::PortAddress port = ReadPort(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"port", ShowPort(port)}});
  report.data["removed"] = config.Commit(config.edit().RemovePort(port));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["removed"]) out.out << "removed " << data["port"].get<std::string>() << " and every link to it\n";
  };
  config.Finish(report, report.data["removed"], "there is no port " + ShowPort(port));
  return report;
}

const Command kPortsRemove{"ports remove", {"PORT"}, {}, true, RunPortsRemove,
    "remove a serial port with every link to it",
    "Removes the serial port and every unit's link to it. Exit status 1 when there\n"
    "is no such port.\n\n"
    "example:\n  kvodev ports remove COM4\n"};

}  // namespace

std::vector<Command> PortsCommands() { return {kPorts, kPortsRemove}; }

}  // namespace kvodev
