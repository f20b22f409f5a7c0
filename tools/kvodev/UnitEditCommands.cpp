// link, units show, units set, units remove --unlink: a unit's details and
// links through the library's editing interface.
#include <algorithm>
#include <iostream>
#include <optional>
#include <tuple>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Ids.h"
#include "Json.h"
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

void PrintUnitJson(const dev::UnitDetails& details) {
  JsonWriter json(std::cout);
  json.BeginObject().Member("unit", FormatUnit(details.key)).Member("listed", true).Key("setup");
  if (const char* setup = SetupWord(details.setup)) json.String(setup); else json.Null();
  json.Member("included", details.setup != UnitSetup::Exclude);
  for (const TextName& text : kTexts) {
    const auto i = static_cast<std::size_t>(text.which);
    json.Key(text.json);
    if (details.has[i]) json.String(details.text[i]); else json.Null();
  }
  json.Key("ports").BeginArray();
  for (const dev::PortAddress& port : details.ports) json.String(FormatPort(port));
  json.EndArray().EndObject();
}

void PrintUnitText(const dev::UnitDetails& details) {
  const auto line = [](const char* label, const std::string& value) {
    std::string padded = std::string(label) + ":";
    padded.resize(15, ' ');
    std::cout << padded << value << '\n';
  };
  line("unit", FormatUnit(details.key));
  const char* setup = SetupWord(details.setup);
  line("setup", setup != nullptr ? setup : "not set (included)");
  for (const TextName& text : kTexts) {
    const auto i = static_cast<std::size_t>(text.which);
    line(text.label, !details.has[i] ? "-" : details.text[i].empty() ? "\"\" (empty)" : EncodeUtf8(details.text[i]));
  }
  std::string ports;
  for (const dev::PortAddress& port : details.ports) ports.append(ports.empty() ? "" : ", ").append(FormatPort(port));
  line("linked ports", ports.empty() ? "none" : ports);
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

}  // namespace

int RunLink(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const dev::PortAddress port = ParsePort(ctx.operands[1]);
  Configuration config(ctx.dataDir, Access::Change);
  const bool linked = config.Commit(config.edit().LinkUnitPort(unit, port));
  if (ctx.args.json)
    JsonWriter(std::cout)
        .BeginObject()
        .Member("unit", FormatUnit(unit))
        .Member("port", FormatPort(port))
        .Member("linked", linked)
        .EndObject();
  else if (linked)
    std::cout << "linked " << FormatUnit(unit) << " and " << FormatPort(port) << '\n';
  return config.Finish(linked, config->ExistsUnit(unit) ? FormatUnit(unit) + " and " + FormatPort(port) +
                                                              " are linked on both sides already"
                                                        : NotListed(unit));
}

int RunUnitsShow(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return NotLoaded;
  dev::UnitDetails details;
  if (!config.edit().GetUnit(unit, details)) {
    if (ctx.args.json) JsonWriter(std::cout).BeginObject().Member("unit", FormatUnit(unit)).Member("listed", false).EndObject();
    return config.Finish(false, NotListed(unit));
  }
  if (ctx.args.json)
    PrintUnitJson(details);
  else
    PrintUnitText(details);
  return Success;
}

int RunUnitsSet(Context& ctx) {
  const dev::UnitKey unit = ParseUnit(ctx.operands[0]);
  const std::vector<TextChange> texts = TextChanges(ctx.args);
  const std::optional<UnitSetup> setup = SetupChange(ctx.args);
  if (texts.empty() && !setup)
    throw InputError("nothing to set: give --name, --model, --driver, --serial, --include or --exclude");
  Configuration config(ctx.dataDir, Access::Change);
  dev::UnitDetails before;
  const bool listed = config.edit().GetUnit(unit, before);
  const bool changed = config.Commit(listed && ApplyChanges(config.edit(), before, texts, setup));
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("unit", FormatUnit(unit)).Member("changed", changed).EndObject();
  else if (changed)
    std::cout << "changed " << FormatUnit(unit) << '\n';
  return config.Finish(changed, listed ? FormatUnit(unit) + " not changed: the library refused a text or the setup"
                                       : NotListed(unit));
}

int RunUnitsRemoveUnlinking(Context& ctx, const dev::UnitKey& unit) {
  Configuration config(ctx.dataDir, Access::Change);
  dev::UnitDetails details;
  const bool listed = config.edit().GetUnit(unit, details);
  const std::vector<dev::PortAddress> ports = listed ? LinkedPorts(config, details) : std::vector<dev::PortAddress>{};
  // A link on one side only answers false, yet goes all the same; what stays is checked below.
  for (const dev::PortAddress& port : ports) config->UnlinkUnitPort(unit, port);
  dev::UnitDetails after;
  const bool unlinked = listed && config.edit().GetUnit(unit, after) && LinkedPorts(config, after).empty();
  const bool removed = config.Commit(unlinked && config->RemoveUnit(unit));
  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Member("unit", FormatUnit(unit)).Member("removed", removed).Key("unlinked").BeginArray();
    for (const dev::PortAddress& port : removed ? ports : std::vector<dev::PortAddress>{}) json.String(FormatPort(port));
    json.EndArray().EndObject();
  } else if (removed) {
    std::cout << "removed " << FormatUnit(unit) << ", its set memberships and its port links";
    for (std::size_t i = 0; i < ports.size(); ++i) std::cout << (i == 0 ? " (" : ", ") << FormatPort(ports[i]);
    std::cout << (ports.empty() ? " (none)\n" : ")\n");
  }
  return config.Finish(removed, !listed ? NotListed(unit)
                                : !unlinked ? FormatUnit(unit) + " kept: a port link of it could not be removed"
                                            : FormatUnit(unit) + " could not be removed (a set without a name stops it)");
}

}  // namespace kvodev
