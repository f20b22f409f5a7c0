// units and its subcommands: the installed units, and a unit's details through
// the library's editing interface.
#include <algorithm>
#include <optional>
#include <utility>

#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Errors.h"
#include "shared/Ids.h"
#include "shared/Table.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

using Access = Configuration::Access;
using dev::UnitSetup;
using dev::UnitText;

constexpr Option kSkipExcluded{"--skip-excluded", Option::Flag, "", "leave out units whose setup is \"exclude\""};
constexpr Option kLong{"--long", Option::Flag, "", "with each unit's setup, name, model and ports"};
constexpr Option kName{"--name", Option::Text, "TEXT", "the unit's name"};
constexpr Option kModel{"--model", Option::Text, "TEXT", "its model"};
constexpr Option kDriver{"--driver", Option::Text, "TEXT", "its driver file"};
constexpr Option kSerial{"--serial", Option::Text, "TEXT", "its serial number"};
constexpr Option kInclude{"--include", Option::Flag, "", "its setup: hosts use it"};
constexpr Option kExclude{"--exclude", Option::Flag, "", "its setup: hosts leave it out"};
constexpr Option kUnlink{"--unlink", Option::Flag, "", "remove the unit's links to ports first, on both sides"};

// {"unit": "U303x0", ...}: the start of the result of a command about one unit.
Json AboutUnit(const dev::UnitKey& unit) { return Json{{"unit", FormatUnit(unit)}}; }

std::string NotListed(const dev::UnitKey& unit) { return FormatUnit(unit) + " is not listed"; }

Report RunUnits(Context& ctx) {
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  // The long form reads every unit with its details in one pass.
  const bool long_ = ctx.Has(kLong);
  std::vector<dev::UnitKey> units;
  std::vector<dev::UnitDetails> details;
  const bool complete = long_ ? config.edit().GetUnits(details, ctx.Has(kSkipExcluded))
                              : config->GetUnitList(units, ctx.Has(kSkipExcluded));
  for (const dev::UnitDetails& unit : details) units.push_back(unit.key);
  Report report;
  report.data["units"] = Json::array();
  for (std::size_t u = 0; u < units.size(); ++u) {
    const dev::UnitKey& unit = units[u];
    Json entry{{"unit", FormatUnit(unit)}, {"device", unit.device}, {"index", unit.index}};
    if (long_) {
      const dev::UnitDetails& unitDetails = details[u];
      const auto text = [&unitDetails](dev::UnitText which) {
        const std::optional<std::wstring> value = unitDetails.textOf(which);
        return value ? Json(EncodeUtf8(*value)) : Json(nullptr);
      };
      entry["setup"] = unitDetails.setup == dev::UnitSetup::Include   ? Json("include")
                       : unitDetails.setup == dev::UnitSetup::Exclude ? Json("exclude")
                                                                      : Json(nullptr);
      entry["name"] = text(dev::UnitText::UnitName);
      entry["model"] = text(dev::UnitText::Model);
      entry["ports"] = Json::array();
      for (const dev::PortAddress& port : unitDetails.ports) entry["ports"].push_back(ShowPort(port));
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

const Command kUnits{"units", {}, {&kSkipExcluded, &kLong}, true, RunUnits,
    "list the installed units",
    "Lists every unit of the document in document order; --long adds its setup,\n"
    "name, model and ports (\"-\" for what it has none of). A unit whose id is\n"
    "malformed shows as U65535x0, the invalid key (units rename mends it).\n\n"
    "Exit status 1 when the unit list is damaged (the units before the damage are listed).\n\n"
    "example:\n  kvodev --data-dir /srv/kvoRQ units --skip-excluded\n"};

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

const Command kUnitsAdd{"units add", {"UNIT|DEVICE", "[INDEX]"}, {}, true, RunUnitsAdd,
    "add a unit: U303x0, or 303 0",
    "Adds the unit named by its id (U303x0), or by DEVICE and INDEX, decimal\n"
    "numbers from 0 to 65535 without leading zeros (303 0 adds U303x0).\n"
    "Exit status 1 when the unit is listed already (nothing changes).\n\n"
    "example:\n  kvodev units add 303 0\n  kvodev units add U303x1\n"};

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
  for (const dev::PortAddress& port : details.ports) unit["ports"].push_back(ShowPort(port));
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

const Command kUnitsShow{"units show", {"UNIT"}, {}, true, RunUnitsShow,
    "a unit's setup, texts and linked ports",
    "Shows the unit's setup (include, exclude, or not set, which counts as\n"
    "include), its driver, model, name and serial number (\"-\" when the unit has\n"
    "none), and the ports it links to on its side. Exit status 1 when the unit\n"
    "is not listed.\n\n"
    "example:\n  kvodev units show U303x0\n"};

// One text that `units set` changes: empty clears it.
struct TextChange {
  UnitText which;
  std::wstring text;
};

std::vector<TextChange> TextChanges(const Context& ctx) {
  const std::pair<const Option*, UnitText> given[] = {
      {&kDriver, UnitText::Driver}, {&kModel, UnitText::Model}, {&kName, UnitText::UnitName}, {&kSerial, UnitText::SerialNo}};
  std::vector<TextChange> changes;
  for (const auto& [option, which] : given)
    if (const std::optional<std::string> value = ctx.Value(*option))
      changes.push_back({which, XmlText(*value, std::string(option->name).c_str())});
  return changes;
}

std::optional<UnitSetup> SetupChange(const Context& ctx) {
  if (ctx.Has(kInclude) && ctx.Has(kExclude)) throw InputError("--include and --exclude do not go together");
  if (ctx.Has(kInclude)) return UnitSetup::Include;
  if (ctx.Has(kExclude)) return UnitSetup::Exclude;
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

Report RunUnitsSet(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const std::vector<TextChange> texts = TextChanges(ctx);
  const std::optional<UnitSetup> setup = SetupChange(ctx);
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
                listed ? FormatUnit(unit) + " not changed: " + config.failure() : config.failure());
  return report;
}

const Command kUnitsSet{"units set", {"UNIT"}, {&kName, &kModel, &kDriver, &kSerial, &kInclude, &kExclude},
    true, RunUnitsSet,
    "change a unit's texts or setup",
    "Changes the texts and the setup of a listed unit, all or none. At least one\n"
    "option is needed; an empty text ('') removes that text.\n\n"
    "Exit status 1 when the unit is not listed (nothing changes).\n\n"
    "example:\n  kvodev units set U303x0 --name 'Main stage' --serial ST-30317 --model ''\n"};

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

Report RunUnitsRemoveUnlinking(Context& ctx, const dev::UnitKey& unit) {
  Configuration config(ctx.dataDir, Access::Change);
  const Unlinking done = RemoveUnlinking(config, unit);
  Report report(Json{{"unit", FormatUnit(unit)}, {"removed", done.removed}, {"unlinked", Json::array()}});
  if (done.removed)
    for (const dev::PortAddress& port : done.ports) report.data["unlinked"].push_back(ShowPort(port));
  report.text = PrintRemovedUnlinking;
  config.Finish(report, done.removed,
                !done.listed     ? NotListed(unit)
                : !done.unlinked ? FormatUnit(unit) + " kept: a port link of it could not be removed"
                                 : FormatUnit(unit) + " could not be removed (a set without a name stops it)");
  return report;
}

Report RunUnitsRemove(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  if (ctx.Has(kUnlink)) return RunUnitsRemoveUnlinking(ctx, unit);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(AboutUnit(unit));
  report.data["removed"] = config.Commit(config->RemoveUnit(unit));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["removed"])
      out.out << "removed " << data["unit"].get<std::string>() << " and its set memberships (its port links stay)\n";
  };
  config.Finish(report, report.data["removed"], config.failure());
  return report;
}

const Command kUnitsRemove{"units remove", {"UNIT"}, {&kUnlink}, true, RunUnitsRemove,
    "remove a unit and its set memberships",
    "Removes the unit and its memberships in sets; links to ports stay (see unlink).\n"
    "A document without sets gets an empty one, saved at once, even when the unit\n"
    "is not listed. Exit status 1 when the unit is not listed.\n\n"
    "example:\n  kvodev units remove U303x0 --unlink\n"};

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
  config.Finish(report, report.data["renamed"], config.failure());
  return report;
}

const Command kUnitsRename{"units rename", {"OLD", "NEW"}, {}, true, RunUnitsRename,
    "give a unit another id, with its links",
    "Gives the unit whose id is OLD, exactly as the document writes it (a malformed\n"
    "id such as U0332x0 too), the id NEW; its links and set memberships follow,\n"
    "also those that write a malformed OLD the way it was meant (U332x0). Exit\n"
    "status 1 when no unit has the id OLD or NEW is listed.\n\n"
    "example:\n  kvodev units rename U0332x0 U332x0\n"};

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

const Command kUnitsExists{"units exists", {"UNIT"}, {}, true, RunUnitsExists,
    "tell whether a unit is listed",
    "Tells whether the unit is listed: exit status 0 when it is, 1 when it is not.\n\n"
    "example:\n  kvodev units exists U303x0 && echo installed\n"};

}  // namespace

std::vector<Command> UnitsCommands() {
  return {kUnits, kUnitsAdd, kUnitsShow, kUnitsSet, kUnitsRemove, kUnitsRename, kUnitsExists};
}

}  // namespace kvodev
