// sets and its subcommands: the sets of units and the active one.
#include "commands/Registry.h"
#include "shared/Configuration.h"
#include "shared/Errors.h"
#include "shared/Ids.h"
#include "shared/Table.h"
#include "shared/Utf8.h"

namespace kvodev {
namespace {

using Access = Configuration::Access;

constexpr Option kComment{"--comment", Option::Text, "TEXT", "the set's comment (default: empty)"};

std::string Quote(const std::string& name) { return "\"" + name + "\""; }
std::string NoSet(const std::string& name) { return "there is no set " + Quote(name); }

std::wstring SetName(const std::string& utf8) {
  if (utf8.empty()) throw InputError("a set needs a name: \"\"");
  return XmlText(utf8, "the set name");
}

Json SetJson(const dev::SetDetails& set, bool active) {
  Json json{{"name", EncodeUtf8(set.name)}, {"comment", EncodeUtf8(set.comment)}, {"active", active}};
  json["members"] = Json::array();
  for (const dev::UnitKey& unit : set.members) json["members"].push_back(FormatUnit(unit));
  return json;
}

// Reads every set; false when the library could not.
bool ReadSets(dev::IDeviceEditor& edit, std::vector<dev::SetDetails>& sets, std::wstring& active) {
  std::vector<std::wstring> names;
  if (!edit.GetSets(names) || !edit.GetActiveSet(active)) return false;
  for (const std::wstring& name : names)
    if (!edit.GetSet(name, sets.emplace_back())) return false;
  return true;
}

void PrintSets(const Json& data, const TextOut& out) {
  if (data["sets"].empty()) return out.Notice("no sets");
  Table table({{""}, {"SET"}, {"UNITS", Table::Align::Right}, {"COMMENT"}});
  for (const Json& set : data["sets"])
    table.AddRow({set["active"] ? "*" : "", set["name"], std::to_string(set["members"].size()), set["comment"]});
  table.Print(out.out, out.style);
  // The legend belongs to the headers: without them every line is a set.
  if (out.style.headers) out.out << (data["active"].is_null() ? "no set is active\n" : "* the active set\n");
}

void PrintSet(const Json& data, const TextOut& out) {
  if (data.contains("found")) return;
  out.out << "set:      " << data["name"].get<std::string>() << (data["active"] ? " (active)" : "") << '\n'
          << "comment:  " << data["comment"].get<std::string>() << '\n'
          << "members:  " << Joined(data["members"], ", ", "none") << '\n';
}

void PrintMemberChange(const Json& data, const TextOut& out) {
  const bool add = data.contains("added");
  if (!data[add ? "added" : "removed"]) return;
  out.out << (add ? "added " : "removed ") << data["unit"].get<std::string>() << (add ? " to set " : " from set ")
          << Quote(data["set"].get<std::string>()) << '\n';
}

// sets add (`add`) or sets remove.
Report ChangeMember(Context& ctx, bool add) {
  const std::wstring name = SetName(ctx.operands[0]);
  const dev::UnitKey unit = ParseUnit(ctx.operands[1]);
  Configuration config(ctx.dataDir, Access::Change);
  dev::IDeviceEditor& edit = config.edit();
  const bool changed = config.Commit(add ? edit.AddSetMember(name, unit) : edit.RemoveSetMember(name, unit));
  Report report(Json{{"set", ctx.operands[0]}, {"unit", FormatUnit(unit)}, {add ? "added" : "removed", changed}});
  report.text = PrintMemberChange;
  config.Finish(report, changed, config.failure());
  return report;
}

Report RunSets(Context& ctx) {
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  std::vector<dev::SetDetails> sets;
  std::wstring active;
  const bool read = ReadSets(config.edit(), sets, active);
  Report report(Json{{"sets", Json::array()}});
  bool found = false;
  for (const dev::SetDetails& set : sets) {
    report.data["sets"].push_back(SetJson(set, set.name == active));
    found = found || set.name == active;
  }
  // An active set that names no set chooses none; check names it as a finding.
  report.data["active"] = found ? Json(EncodeUtf8(active)) : Json(nullptr);
  report.text = PrintSets;
  config.Finish(report, read, "the sets could not be read");
  return report;
}

const Command kSets{"sets", {}, {}, true, RunSets,
    "list the sets of units, the active one marked",
    "Lists the sets in document order: name, number of units, comment; the\n"
    "active set is marked with *.\n\n"
    "example:\n  kvodev sets --json\n"};

Report RunSetsShow(Context& ctx) {
  const std::wstring name = SetName(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return config.Unloadable();
  dev::SetDetails set;
  std::wstring active;
  const bool found = config.edit().GetSet(name, set) && config.edit().GetActiveSet(active);
  Report report(found ? SetJson(set, name == active) : Json{{"name", ctx.operands[0]}, {"found", false}});
  report.text = PrintSet;
  config.Finish(report, found, NoSet(ctx.operands[0]));
  return report;
}

const Command kSetsShow{"sets show", {"NAME"}, {}, true, RunSetsShow,
    "a set's comment and members",
    "Shows the set's comment and its member units in document order, and whether\n"
    "it is the active set. Exit status 1 when there is no such set.\n\n"
    "example:\n  kvodev sets show Brightfield\n"};

Report RunSetsCreate(Context& ctx) {
  const std::wstring name = SetName(ctx.operands[0]);
  const std::wstring comment = XmlText(ctx.Value(kComment).value_or(""), "--comment");
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"set", ctx.operands[0]}});
  report.data["created"] = config.Commit(config.edit().CreateSet(name, comment));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["created"]) out.out << "created set " << Quote(data["set"].get<std::string>()) << '\n';
  };
  config.Finish(report, report.data["created"], "a set " + Quote(ctx.operands[0]) + " exists already");
  return report;
}

const Command kSetsCreate{"sets create", {"NAME"}, {&kComment}, true, RunSetsCreate,
    "create an empty set",
    "Creates an empty set with the comment T (default: empty). Exit status 1 when\n"
    "a set of that name exists already.\n\n"
    "example:\n  kvodev sets create Brightfield --comment 'Main stage and the colour camera'\n"};

Report RunSetsComment(Context& ctx) {
  const std::wstring name = SetName(ctx.operands[0]);
  const std::wstring comment = XmlText(ctx.operands[1], "the comment");
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"set", ctx.operands[0]}, {"comment", ctx.operands[1]}});
  dev::SetDetails set;
  const bool found = config.edit().GetSet(name, set);
  report.data["changed"] = found && config.Commit(set.comment == comment || config.edit().SetSetComment(name, comment));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["changed"]) out.out << "changed the comment of set " << Quote(data["set"].get<std::string>()) << '\n';
  };
  config.Finish(report, report.data["changed"], NoSet(ctx.operands[0]));
  return report;
}

const Command kSetsComment{"sets comment", {"NAME", "TEXT"}, {}, true, RunSetsComment,
    "change a set's comment",
    "Gives the set the comment TEXT (an empty one clears it). Exit status 1 when\n"
    "there is no such set.\n\n"
    "example:\n  kvodev sets comment Brightfield 'Main stage only'\n"};

Report RunSetsRename(Context& ctx) {
  const std::wstring from = SetName(ctx.operands[0]), to = SetName(ctx.operands[1]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"set", ctx.operands[0]}, {"to", ctx.operands[1]}});
  dev::SetDetails set;
  const bool found = config.edit().GetSet(from, set);
  report.data["renamed"] = found && config.Commit(config.edit().RenameSet(from, to));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["renamed"])
      out.out << "renamed set " << Quote(data["set"].get<std::string>()) << " to " << Quote(data["to"].get<std::string>()) << '\n';
  };
  config.Finish(report, report.data["renamed"], found ? "a set " + Quote(ctx.operands[1]) + " exists already" : NoSet(ctx.operands[0]));
  return report;
}

const Command kSetsRename{"sets rename", {"OLD", "NEW"}, {}, true, RunSetsRename,
    "rename a set",
    "Renames the set; its members and comment stay, and it stays the active set\n"
    "when it was. Exit status 1 when there is no set OLD or a set NEW exists.\n\n"
    "example:\n  kvodev sets rename Fluorescense Fluorescence\n"};

Report RunSetsDelete(Context& ctx) {
  const std::wstring name = SetName(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"set", ctx.operands[0]}});
  report.data["deleted"] = config.Commit(config.edit().DeleteSet(name));
  report.text = [](const Json& data, const TextOut& out) {
    if (data["deleted"]) out.out << "deleted set " << Quote(data["set"].get<std::string>()) << '\n';
  };
  config.Finish(report, report.data["deleted"], NoSet(ctx.operands[0]));
  return report;
}

const Command kSetsDelete{"sets delete", {"NAME"}, {}, true, RunSetsDelete,
    "delete a set",
    "Deletes the set; its units stay listed. When it was the active set, no set\n"
    "is active. Exit status 1 when there is no such set.\n\n"
    "example:\n  kvodev sets delete Brightfield\n"};

Report RunSetsAdd(Context& ctx) { return ChangeMember(ctx, true); }

const Command kSetsAdd{"sets add", {"NAME", "UNIT"}, {}, true, RunSetsAdd,
    "make a listed unit a member of a set",
    "Adds the unit to the set's members. Exit status 1 when there is no such set,\n"
    "the unit is not listed, or it is a member already.\n\n"
    "example:\n  kvodev sets add Brightfield U303x0\n"};
Report RunSetsRemove(Context& ctx) { return ChangeMember(ctx, false); }

const Command kSetsRemove{"sets remove", {"NAME", "UNIT"}, {}, true, RunSetsRemove,
    "take a unit out of a set",
    "Removes the unit from the set's members; the unit stays listed. Exit status 1\n"
    "when there is no such set or the unit is no member of it.\n\n"
    "example:\n  kvodev sets remove Brightfield U303x0\n"};

Report RunSetsActivate(Context& ctx) {
  // An empty name chooses no set.
  const std::wstring name = ctx.operands[0].empty() ? std::wstring() : SetName(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::Change);
  Report report(Json{{"set", ctx.operands[0]}});
  report.data["activated"] = config.Commit(config.edit().SetActiveSet(name));
  report.text = [](const Json& data, const TextOut& out) {
    if (!data["activated"]) return;
    if (data["set"] == "")
      out.out << "no set is active now\n";
    else
      out.out << "activated set " << Quote(data["set"].get<std::string>()) << '\n';
  };
  config.Finish(report, report.data["activated"], NoSet(ctx.operands[0]));
  return report;
}

const Command kSetsActivate{"sets activate", {"NAME"}, {}, true, RunSetsActivate,
    "choose the active set",
    "Makes the set the active one; an empty NAME ('') chooses none. Exit status 1\n"
    "when there is no such set.\n\n"
    "example:\n  kvodev sets activate Brightfield\n"};

}  // namespace

std::vector<Command> SetsCommands() {
  return {kSets, kSetsShow, kSetsCreate, kSetsComment, kSetsRename, kSetsDelete, kSetsAdd, kSetsRemove, kSetsActivate};
}

}  // namespace kvodev
