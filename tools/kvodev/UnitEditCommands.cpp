// link, units show, units set, units remove --unlink: a unit's details and
// links through the library's editing interface.
#include <algorithm>
#include <optional>
#include <tuple>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Ids.h"
#include "Utf8.h"

namespace kvodev {
namespace {

using Access = Configuration::Access;
using dev::UnitSetup;
using dev::UnitText;

// The texts in document order, with the words that name them in output.
struct TextName {
  UnitText which;
  const char* json;   // the JSON member
  const char* label;  // the text line's label
};
constexpr TextName kTexts[] = {{UnitText::Driver, "driver", "driver"},
                               {UnitText::Model, "model", "model"},
                               {UnitText::UnitName, "name", "name"},
                               {UnitText::SerialNo, "serial", "serial number"}};

const char* SetupWord(UnitSetup setup) {
  return setup == UnitSetup::Exclude ? "exclude" : setup == UnitSetup::Include ? "include" : nullptr;
}

std::string NotListed(const dev::UnitKey& unit) { return FormatUnit(unit) + " is not listed"; }

// The unit's details as `units show --json` gives them: null for what is not set.
Json UnitJson(const dev::UnitDetails& details) {
  Json unit{{"unit", FormatUnit(details.key)}, {"listed", true}};
  const char* setup = SetupWord(details.setup);
  unit["setup"] = setup != nullptr ? Json(setup) : Json(nullptr);
  unit["included"] = details.setup != UnitSetup::Exclude;
  for (const TextName& text : kTexts) {
    const auto i = static_cast<std::size_t>(text.which);
    unit[text.json] = details.has[i] ? Json(EncodeUtf8(details.text[i])) : Json(nullptr);
  }
  unit["ports"] = Json::array();
  for (const dev::PortAddress& port : details.ports) unit["ports"].push_back(FormatPort(port));
  return unit;
}

void PrintUnit(const Json& data, const TextOut& out) {
  const auto line = [&out](const char* label, const std::string& value) {
    std::string padded = std::string(label) + ":";
    padded.resize(15, ' ');
    out.out << padded << value << '\n';
  };
  line("unit", data["unit"].get<std::string>());
  line("setup", data["setup"].is_null() ? "not set (included)" : data["setup"].get<std::string>());
  for (const TextName& text : kTexts) {
    const Json& value = data[text.json];
    line(text.label, value.is_null() ? "-" : value == "" ? "\"\" (empty)" : value.get<std::string>());
  }
  line("linked ports", Joined(data["ports"], ", ", "none"));
}

// One text that `units set` changes: empty clears it.
struct TextChange {
  UnitText which;
  std::wstring text;
};

std::vector<TextChange> TextChanges(const Args& args) {
  const std::tuple<const std::optional<std::string>*, UnitText, const char*> given[] = {
      {&args.driver, UnitText::Driver, "--driver"}, {&args.model, UnitText::Model, "--model"},
      {&args.name, UnitText::UnitName, "--name"}, {&args.serial, UnitText::SerialNo, "--serial"}};
  std::vector<TextChange> changes;
  for (const auto& [value, which, option] : given)
    if (value->has_value()) changes.push_back({which, XmlText(**value, option)});
  return changes;
}

std::optional<UnitSetup> SetupChange(const Args& args) {
  if (args.include && args.exclude) throw InputError("--include and --exclude do not go together");
  if (args.include) return UnitSetup::Include;
  if (args.exclude) return UnitSetup::Exclude;
  return std::nullopt;
}

// Applies every change, or puts back what `before` held and answers false.
bool ApplyChanges(dev::IDeviceEditor& edit, const dev::UnitDetails& before, const std::vector<TextChange>& texts,
                  std::optional<UnitSetup> setup) {
  bool applied = true;
  for (const TextChange& change : texts)
    applied = applied && edit.SetUnitText(before.key, change.which, change.text.empty() ? nullptr : change.text.c_str());
  applied = applied && (!setup || edit.SetUnitSetup(before.key, *setup));
  if (applied) return true;
  for (const TextName& text : kTexts) {
    const auto i = static_cast<std::size_t>(text.which);
    edit.SetUnitText(before.key, text.which, before.has[i] ? before.text[i].c_str() : nullptr);
  }
  edit.SetUnitSetup(before.key, before.setup);
  return false;
}

// Every port linked to the unit on either side, once each.
std::vector<dev::PortAddress> LinkedPorts(Configuration& config, const dev::UnitDetails& details) {
  std::vector<dev::PortAddress> ports = details.ports;
  std::vector<dev::PortAddress> portSide;
  config->GetUnitPorts(details.key, portSide);
  for (const dev::PortAddress& port : portSide)
    if (std::none_of(ports.begin(), ports.end(), [&](const dev::PortAddress& p) {
          return p.portType == port.portType && p.portNumber == port.portNumber;
        }))
      ports.push_back(port);
  return ports;
}

// What `units remove --unlink` did: the port links it removed, then the unit.
struct Unlinking {
  bool listed = false;
  bool unlinked = false;  // no link of the unit is left on either side
  bool removed = false;
  std::vector<dev::PortAddress> ports;
};

Unlinking RemoveUnlinking(Configuration& config, const dev::UnitKey& unit) {
  Unlinking done;
  dev::UnitDetails details;
  done.listed = config.edit().GetUnit(unit, details);
  if (done.listed) done.ports = LinkedPorts(config, details);
  // A link on one side only answers false, yet goes all the same; what stays is checked below.
  for (const dev::PortAddress& port : done.ports) config->UnlinkUnitPort(unit, port);
  dev::UnitDetails after;
  done.unlinked = done.listed && config.edit().GetUnit(unit, after) && LinkedPorts(config, after).empty();
  done.removed = config.Commit(done.unlinked && config->RemoveUnit(unit));
  return done;
}

void PrintRemovedUnlinking(const Json& data, const TextOut& out) {
  if (!data["removed"]) return;
  out.out << "removed " << data["unit"].get<std::string>() << ", its set memberships and its port links";
  out.out << " (" << Joined(data["unlinked"], ", ", "none") << ")\n";
}

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

}  // namespace

Report RunLink(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const dev::PortAddress port = ParsePort(ctx.operands[1]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"unit", FormatUnit(unit)}, {"port", FormatPort(port)}, {"movedFrom", Json::array()}});
  // A serial port serves one unit: taking it from another is asked for, not done by the way.
  const std::vector<dev::UnitKey> holders = config->ExistsUnit(unit) ? Holders(config, unit, port) : std::vector<dev::UnitKey>{};
  bool linked = holders.empty() || ctx.args.force;
  for (const dev::UnitKey& holder : ctx.args.force ? holders : std::vector<dev::UnitKey>{}) {
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
  const std::string both = FormatUnit(unit) + " and " + FormatPort(port);
  std::string reason = both + " are linked on both sides already";
  if (!config->ExistsUnit(unit)) reason = NotListed(unit);
  else if (!holders.empty() && !ctx.args.force)
    reason = FormatPort(port) + " belongs to " + FormatUnit(holders.front()) + " ('--force' moves it)";
  config.Finish(report, report.data["linked"], reason);
  return report;
}

Report RunUnitsRename(Context& ctx) {
  // The id as the document holds it, however malformed.
  const std::wstring from = XmlText(ctx.operands[0], "the unit id");
  const dev::UnitKey to = ParseUnit(ctx.operands[1]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"unit", ctx.operands[0]}, {"to", FormatUnit(to)}});
  report.data["renamed"] = config.Commit(config.edit().RenameUnit(from, to));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["renamed"])
      out.out << "renamed " << data["unit"].get<std::string>() << " to " << data["to"].get<std::string>()
              << ", with its links and set memberships\n";
  };
  config.Finish(report, report.data["renamed"],
                config->ExistsUnit(to) ? FormatUnit(to) + " is listed already"
                                       : "no unit has the id \"" + ctx.operands[0] + "\"");
  return report;
}

Report RunUnitsShow(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  dev::UnitDetails details;
  const bool listed = config.edit().GetUnit(unit, details);
  Report report(listed ? UnitJson(details) : Json{{"unit", FormatUnit(unit)}, {"listed", false}});
  report.text = [](const Json& data, const TextOut& out) {
    if (data["listed"]) PrintUnit(data, out);
  };
  config.Finish(report, listed, NotListed(unit));
  return report;
}

Report RunUnitsSet(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const std::vector<TextChange> texts = TextChanges(ctx.args);
  const std::optional<UnitSetup> setup = SetupChange(ctx.args);
  if (texts.empty() && !setup)
    throw InputError("nothing to set: give --name, --model, --driver, --serial, --include or --exclude");
  Configuration config(ctx.dataDir, Access::Change);
  dev::UnitDetails before;
  const bool listed = config.edit().GetUnit(unit, before);
  Report report(Json{{"unit", FormatUnit(unit)}});
  report.data["changed"] = config.Commit(listed && ApplyChanges(config.edit(), before, texts, setup));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["changed"]) out.out << "changed " << data["unit"].get<std::string>() << '\n';
  };
  config.Finish(report, report.data["changed"],
                listed ? FormatUnit(unit) + " not changed: the library refused a text or the setup" : NotListed(unit));
  return report;
}

Report RunUnitsRemoveUnlinking(Context& ctx, const dev::UnitKey& unit) {
  Configuration config(ctx.dataDir, Access::Change);
  const Unlinking done = RemoveUnlinking(config, unit);
  Report report(Json{{"unit", FormatUnit(unit)}, {"removed", done.removed}, {"unlinked", Json::array()}});
  if (done.removed)
    for (const dev::PortAddress& port : done.ports) report.data["unlinked"].push_back(FormatPort(port));
  report.text = PrintRemovedUnlinking;
  config.Finish(report, done.removed,
                !done.listed     ? NotListed(unit)
                : !done.unlinked ? FormatUnit(unit) + " kept: a port link of it could not be removed"
                                 : FormatUnit(unit) + " could not be removed (a set without a name stops it)");
  return report;
}

}  // namespace kvodev
