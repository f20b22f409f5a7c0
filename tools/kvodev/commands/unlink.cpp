// unlink: the link between a unit and a serial port, removed on both sides.
#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Ids.h"

namespace kvodev {
namespace {

Report RunUnlink(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const dev::PortAddress port = ReadPort(ctx.operands[1]);
  Configuration config(ctx.dataDir, Configuration::Access::Change);
  Report report(Json{{"unit", FormatUnit(unit)}});
  report.data["port"] = ShowPort(port);
  report.data["unlinked"] = config.Commit(config->UnlinkUnitPort(unit, port));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["unlinked"])
      out.out << "unlinked " << data["unit"].get<std::string>() << " and " << data["port"].get<std::string>() << '\n';
  };
  config.Finish(report, report.data["unlinked"],
                FormatUnit(unit) + " and " + ShowPort(port) +
                    " were not linked on both sides (a link on the unit's side alone is removed all the same)");
  return report;
}

const Command kUnlink{"unlink", {"UNIT", "PORT"}, {}, true, RunUnlink,
    "remove the link between a unit and a serial port",
    "Removes the link on both sides: the unit's LinkedInterface and the port's\n"
    "LinkedUnit. Exit status 1 when the two were not linked on both sides; when\n"
    "only the unit named the port, that link is removed all the same.\n\n"
    "example:\n  kvodev unlink U303x0 COM3\n"};

}  // namespace

std::vector<Command> UnlinkCommands() { return {kUnlink}; }

}  // namespace kvodev
