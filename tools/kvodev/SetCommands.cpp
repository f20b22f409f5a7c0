// sets, sets show/create/add/remove/activate: the sets of units and the active one.
#include <iostream>

#include "Commands.h"
#include "Configuration.h"
#include "Errors.h"
#include "Ids.h"
#include "Json.h"
#include "Table.h"
#include "Utf8.h"

namespace kvodev {
namespace {

using Access = Configuration::Access;

std::string Quote(const std::string& name) { return "\"" + name + "\""; }
std::string NoSet(const std::string& name) { return "there is no set " + Quote(name); }

std::wstring SetName(const std::string& utf8) {
  if (utf8.empty()) throw InputError("a set needs a name: \"\"");
  return XmlText(utf8, "the set name");
}

void SetJson(JsonWriter& json, const dev::SetDetails& set, bool active) {
  json.BeginObject().Member("name", set.name).Member("comment", set.comment).Member("active", active);
  json.Key("members").BeginArray();
  for (const dev::UnitKey& unit : set.members) json.String(FormatUnit(unit));
  json.EndArray().EndObject();
}

std::string Members(const dev::SetDetails& set) {
  std::string members;
  for (const dev::UnitKey& unit : set.members) members.append(members.empty() ? "" : ", ").append(FormatUnit(unit));
  return members.empty() ? "none" : members;
}

// Reads every set; false when the library could not.
bool ReadSets(dev::IDeviceEditor& edit, std::vector<dev::SetDetails>& sets, std::wstring& active) {
  std::vector<std::wstring> names;
  if (!edit.GetSets(names) || !edit.GetActiveSet(active)) return false;
  for (const std::wstring& name : names)
    if (!edit.GetSet(name, sets.emplace_back())) return false;
  return true;
}

// A change of membership: the answer's words and the reason it failed.
int ChangeMember(Context& ctx, bool add) {
  const std::wstring name = SetName(ctx.operands[0]);
  const dev::UnitKey unit = ParseUnit(ctx.operands[1]);
  Configuration config(ctx.dataDir, Access::Change);
  dev::IDeviceEditor& edit = config.edit();
  const bool changed = config.Commit(add ? edit.AddSetMember(name, unit) : edit.RemoveSetMember(name, unit));
  if (ctx.args.json)
    JsonWriter(std::cout)
        .BeginObject()
        .Member("set", name)
        .Member("unit", FormatUnit(unit))
        .Member(add ? "added" : "removed", changed)
        .EndObject();
  else if (changed)
    std::cout << (add ? "added " : "removed ") << FormatUnit(unit) << (add ? " to set " : " from set ")
              << Quote(ctx.operands[0]) << '\n';
  dev::SetDetails set;
  const std::string reason = !edit.GetSet(name, set)           ? NoSet(ctx.operands[0])
                             : add && !config->ExistsUnit(unit) ? FormatUnit(unit) + " is not listed"
                             : FormatUnit(unit) + (add ? " is a member of " : " is no member of ") +
                                   Quote(ctx.operands[0]) + (add ? " already" : "");
  return config.Finish(changed, reason);
}

}  // namespace

int RunSets(Context& ctx) {
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return NotLoaded;
  std::vector<dev::SetDetails> sets;
  std::wstring active;
  const bool read = ReadSets(config.edit(), sets, active);
  if (ctx.args.json) {
    JsonWriter json(std::cout);
    json.BeginObject().Key("sets").BeginArray();
    for (const dev::SetDetails& set : sets) SetJson(json, set, set.name == active);
    json.EndArray().Key("active");
    if (active.empty()) json.Null(); else json.String(active);
    json.EndObject();
  } else if (sets.empty()) {
    std::cout << "no sets\n";
  } else {
    Table table({{""}, {"SET"}, {"UNITS", Table::Align::Right}, {"COMMENT"}});
    for (const dev::SetDetails& set : sets)
      table.AddRow({set.name == active ? "*" : "", EncodeUtf8(set.name), std::to_string(set.members.size()),
                    EncodeUtf8(set.comment)});
    table.Print(std::cout);
    std::cout << (active.empty() ? "no set is active\n" : "* the active set\n");
  }
  return config.Finish(read, "the sets could not be read");
}

int RunSetsShow(Context& ctx) {
  const std::wstring name = SetName(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::ReadOnly);
  if (!config.loaded()) return NotLoaded;
  dev::SetDetails set;
  std::wstring active;
  const bool found = config.edit().GetSet(name, set) && config.edit().GetActiveSet(active);
  if (ctx.args.json && found) {
    JsonWriter json(std::cout);
    SetJson(json, set, name == active);
  } else if (ctx.args.json) {
    JsonWriter(std::cout).BeginObject().Member("name", name).Member("found", false).EndObject();
  } else if (found) {
    std::cout << "set:      " << ctx.operands[0] << (name == active ? " (active)" : "") << '\n'
              << "comment:  " << EncodeUtf8(set.comment) << '\n'
              << "members:  " << Members(set) << '\n';
  }
  return config.Finish(found, NoSet(ctx.operands[0]));
}

int RunSetsCreate(Context& ctx) {
  const std::wstring name = SetName(ctx.operands[0]);
  const std::wstring comment = XmlText(ctx.args.comment.value_or(""), "--comment");
  Configuration config(ctx.dataDir, Access::Change);
  const bool created = config.Commit(config.edit().CreateSet(name, comment));
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("set", name).Member("created", created).EndObject();
  else if (created)
    std::cout << "created set " << Quote(ctx.operands[0]) << '\n';
  return config.Finish(created, "a set " + Quote(ctx.operands[0]) + " exists already");
}

int RunSetsAdd(Context& ctx) { return ChangeMember(ctx, true); }
int RunSetsRemove(Context& ctx) { return ChangeMember(ctx, false); }

int RunSetsActivate(Context& ctx) {
  // An empty name chooses no set.
  const std::wstring name = ctx.operands[0].empty() ? std::wstring() : SetName(ctx.operands[0]);
  Configuration config(ctx.dataDir, Access::Change);
  const bool activated = config.Commit(config.edit().SetActiveSet(name));
  if (ctx.args.json)
    JsonWriter(std::cout).BeginObject().Member("set", name).Member("activated", activated).EndObject();
  else if (activated)
    std::cout << (name.empty() ? std::string("no set is active now") : "activated set " + Quote(ctx.operands[0])) << '\n';
  return config.Finish(activated, NoSet(ctx.operands[0]));
}

}  // namespace kvodev
