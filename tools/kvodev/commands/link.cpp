// link: a unit and a serial port, linked on both sides through the library's
// editing interface.
#include <algorithm>

#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Ids.h"

namespace kvodev {
namespace {

constexpr Option kForce{"--force", Option::Flag, "", "take the port from the unit that holds it"};

// The other units that link to `port` on either side, in list order.
std::vector<dev::UnitKey> Holders(Configuration& config, const dev::UnitKey& unit, const dev::PortAddress& port) {
  std::vector<dev::UnitKey> units, holders;
  config->GetUnitList(units, false);
  for (const dev::UnitKey& other : units) {
    dev::UnitDetails details;
    std::vector<dev::PortAddress> ports;
    if (other == unit || !config.edit().GetUnit(other, details) || !config->GetUnitPorts(other, ports)) continue;
    ports.insert(ports.end(), details.ports.begin(), details.ports.end());
    if (std::any_of(ports.begin(), ports.end(), [&](const dev::PortAddress& p) {
          return p.portType == port.portType && p.portNumber == port.portNumber;
        }))
      holders.push_back(other);
  }
  return holders;
}

Report RunLink(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const dev::PortAddress port = ReadPort(ctx.operands[1]);
  Configuration config(ctx.dataDir, Configuration::Access::Change);
  Report report(Json{{"unit", FormatUnit(unit)}, {"port", ShowPort(port)}, {"movedFrom", Json::array()}});
  // A serial port serves one unit: taking it from another is asked for, not done by the way.
  const std::vector<dev::UnitKey> holders = config->ExistsUnit(unit) ? Holders(config, unit, port) : std::vector<dev::UnitKey>{};
  const bool force = ctx.Has(kForce);
  bool linked = holders.empty() || force;
  for (const dev::UnitKey& holder : force ? holders : std::vector<dev::UnitKey>{}) {
    linked = config->UnlinkUnitPort(holder, port) && linked;
    report.data["movedFrom"].push_back(FormatUnit(holder));
  }
  report.data["linked"] = config.Commit(linked && config.edit().LinkUnitPort(unit, port));
  report.text = [](const Json& data, const TextOut& out) {
    if (!data["linked"]) return;
    out.out << "linked " << data["unit"].get<std::string>() << " and " << data["port"].get<std::string>();
    if (!data["movedFrom"].empty()) out.out << " (moved from " << Joined(data["movedFrom"], ", ", "") << ")";
    out.out << '\n';
  };
  const std::string reason = !holders.empty() && !force
                                 ? ShowPort(port) + " belongs to " + FormatUnit(holders.front()) + " ('--force' moves it)"
                                 : config.failure();
  config.Finish(report, report.data["linked"], reason);
  return report;
}

const Command kLink{"link", {"UNIT", "PORT"}, {&kForce}, true, RunLink,
    "link a unit and a serial port",
    "Links the unit and the serial port on both sides: the unit's LinkedInterface\n"
    "and the port's LinkedUnit; the port is made when it is missing. Exit status 1\n"
    "when the unit is not listed, the two are linked on both sides already, or\n"
    "another unit links to the port (on either side); --force then unlinks it\n"
    "and says so. A link on one side only gets its other side.\n\n"
    "example:\n  kvodev link U303x0 COM3 --force\n"};

}  // namespace

std::vector<Command> LinkCommands() { return {kLink}; }

}  // namespace kvodev
