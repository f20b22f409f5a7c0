#include "shared/DiffOutput.h"

#include <type_traits>
#include <utility>

#include "shared/Utf8.h"

namespace kvodev {
namespace {

// The result.

Json Names(const std::vector<std::wstring>& names) {
  Json list = Json::array();
  for (const std::wstring& name : names) list.push_back(EncodeUtf8(name));
  return list;
}

// A text the document does not have is null, as units show gives it.
Json Present(const std::wstring& text) { return text.empty() ? Json(nullptr) : Json(EncodeUtf8(text)); }

Json Value(const std::optional<dev::ValueChange>& change) {
  return change ? Json{{"from", Present(change->from)}, {"to", Present(change->to)}} : Json(nullptr);
}

Json UnitJson(const dev::UnitEntry& u) {
  return {{"unit", u.hasId ? Json(EncodeUtf8(u.id)) : Json(nullptr)},
          {"line", u.line},
          {"setup", Present(u.setup)},
          {"driver", Present(u.driver)},
          {"model", Present(u.model)},
          {"name", Present(u.name)},
          {"serialNo", Present(u.serialNo)},
          {"ports", Names(u.ports)}};
}

Json UnitChangeJson(const dev::UnitChange& c) {
  Json values = Json::array();
  for (const dev::ValueChange& v : c.values)
    values.push_back({{"field", EncodeUtf8(v.field)}, {"from", Present(v.from)}, {"to", Present(v.to)}});
  return {{"unit", c.b.hasId ? Json(EncodeUtf8(c.b.id)) : Json(nullptr)},
          {"lineA", c.a.line},
          {"lineB", c.b.line},
          {"values", values},
          {"linksAdded", Names(c.ports.added)},
          {"linksRemoved", Names(c.ports.removed)}};
}

Json PortJson(const dev::PortEntry& p) {
  return {{"interface", EncodeUtf8(p.interfaceName)},
          {"port", EncodeUtf8(p.portNo)},
          {"line", p.line},
          {"units", Names(p.units)}};
}

Json PortChangeJson(const dev::PortChange& c) {
  return {{"interface", EncodeUtf8(c.b.interfaceName)},
          {"port", EncodeUtf8(c.b.portNo)},
          {"lineA", c.a.line},
          {"lineB", c.b.line},
          {"unitsAdded", Names(c.units.added)},
          {"unitsRemoved", Names(c.units.removed)}};
}

Json DriverJson(const dev::DriverEntry& d) { return {{"file", EncodeUtf8(d.file)}, {"line", d.line}}; }

Json SetJson(const dev::SetEntry& s) {
  return {{"set", EncodeUtf8(s.name)},
          {"line", s.line},
          {"comment", Present(s.comment)},
          {"members", Names(s.members)}};
}

Json SetChangeJson(const dev::SetChange& c) {
  return {{"set", EncodeUtf8(c.b.name)},
          {"lineA", c.a.line},
          {"lineB", c.b.line},
          {"comment", Value(c.comment)},
          {"membersAdded", Names(c.members.added)},
          {"membersRemoved", Names(c.members.removed)}};
}

// {"removed": [...], "added": [...], "changed": [...]}; a driver file is
// there or not, so drivers have no "changed".
template <typename Entry, typename Change, typename EntryJson, typename ChangeJson>
Json ChangesJson(const dev::Changes<Entry, Change>& changes, EntryJson entryJson, ChangeJson changeJson) {
  Json json{{"removed", Json::array()}, {"added", Json::array()}};
  for (const Entry& entry : changes.removed) json["removed"].push_back(entryJson(entry));
  for (const Entry& entry : changes.added) json["added"].push_back(entryJson(entry));
  if constexpr (!std::is_same_v<ChangeJson, std::nullptr_t>) {
    json["changed"] = Json::array();
    for (const Change& change : changes.changed) json["changed"].push_back(changeJson(change));
  }
  return json;
}

Json DocumentJson(const ChosenDocument& document) {
  return {{"path", document.path.string()},
          {"version", document.number != 0 ? Json(document.number) : Json(nullptr)},
          {"label", document.label}};
}

// The text.

std::string Quoted(const Json& value) {
  return value.is_null() ? "(none)" : std::string(1, '"').append(Text(value)).append(1, '"');
}

std::string FieldName(const std::string& field) { return field == "serialNo" ? "serial number" : field; }

std::string ValueText(const std::string& field, const Json& change) {
  return FieldName(field) + " " + Quoted(change["from"]) + " -> " + Quoted(change["to"]);
}

// "; link to COM5 added; link to COM3 removed"
std::string Lists(const Json& added, const Json& removed, const std::string& what) {
  std::string text;
  for (const Json& name : added) text += "; " + what + " " + Text(name) + " added";
  for (const Json& name : removed) text += "; " + what + " " + Text(name) + " removed";
  return text;
}

// The changes first, the list changes after them, "; " between.
std::string Changed(const std::string& values, const std::string& lists) {
  return values.empty() ? lists.substr(2) : values + lists;
}

std::string Lines(const Json& change) {
  return " (line " + std::to_string(change["lineA"].get<long>()) + " -> " +
         std::to_string(change["lineB"].get<long>()) + "): ";
}

std::string UnitName(const Json& unit) { return unit["unit"].is_null() ? "a unit without UnitID" : Text(unit["unit"]); }

std::string PortName(const Json& port) {
  return port["interface"] == "Serial" ? Text(port["port"]) : Text(port["interface"]) + " " + Text(port["port"]);
}

// Everything a unit holds, for a unit that came or went.
std::string DescribeUnit(const Json& unit) {
  std::string text;
  const auto add = [&text](const std::string& part) { text.append(text.empty() ? ": " : ", ").append(part); };
  for (const char* field : {"setup", "driver", "model", "name", "serialNo"})
    if (!unit[field].is_null()) add(FieldName(field) + " " + Quoted(unit[field]));
  if (!unit["ports"].empty()) add("linked to " + Joined(unit["ports"], ", "));
  return text;
}

std::string DescribePort(const Json& port) {
  return port["units"].empty() ? ": no links" : ": linked to " + Joined(port["units"], ", ");
}

std::string DescribeSet(const Json& set) {
  return ": comment " + Quoted(set["comment"]) + "; members " +
         (set["members"].empty() ? std::string("none") : Joined(set["members"], ", "));
}

// "- unit U303x0 (line 5): ..." for each item only in A, then "+ ..." for each only in B.
template <typename Name, typename Describe>
void PrintEntries(const Json& changes, const char* what, Name name, Describe describe, std::ostream& out) {
  for (const auto& [mark, key] : {std::pair{'-', "removed"}, {'+', "added"}})
    for (const Json& entry : changes[key])
      out << mark << ' ' << what << ' ' << name(entry) << " (line " << entry["line"].get<long>() << ")"
          << describe(entry) << '\n';
}

void PrintUnitsPortsDrivers(const Json& data, std::ostream& out) {
  PrintEntries(data["units"], "unit", UnitName, DescribeUnit, out);
  for (const Json& c : data["units"]["changed"]) {
    std::string values;
    for (const Json& v : c["values"]) values.append(values.empty() ? "" : "; ").append(ValueText(Text(v["field"]), v));
    out << "~ unit " << UnitName(c) << Lines(c) << Changed(values, Lists(c["linksAdded"], c["linksRemoved"], "link to"))
        << '\n';
  }
  PrintEntries(data["ports"], "port", PortName, DescribePort, out);
  for (const Json& c : data["ports"]["changed"])
    out << "~ port " << PortName(c) << Lines(c) << Lists(c["unitsAdded"], c["unitsRemoved"], "link to").substr(2) << '\n';
  PrintEntries(data["drivers"], "driver file", [](const Json& d) { return Text(d["file"]); },
               [](const Json&) { return std::string(); }, out);
}

void PrintSets(const Json& sets, std::ostream& out) {
  if (!sets["setList"].is_null()) out << (sets["setList"] == "added" ? "+" : "-") << " the set list\n";
  PrintEntries(sets, "set", [](const Json& s) { return Quoted(s["set"]); }, DescribeSet, out);
  for (const Json& c : sets["changed"]) {
    const std::string comment = c["comment"].is_null() ? "" : ValueText("comment", c["comment"]);
    out << "~ set " << Quoted(c["set"]) << Lines(c)
        << Changed(comment, Lists(c["membersAdded"], c["membersRemoved"], "member")) << '\n';
  }
  if (!sets["activeSet"].is_null())
    out << "~ active set: " << Quoted(sets["activeSet"]["from"]) << " -> " << Quoted(sets["activeSet"]["to"]) << '\n';
}

}  // namespace

Json DiffJson(const dev::DocumentChanges& diff, const ChosenDocument& a, const ChosenDocument& b) {
  Json json{{"a", DocumentJson(a)}, {"b", DocumentJson(b)}, {"different", !diff.empty()}};
  AddChangesJson(diff, json);
  return json;
}

void AddChangesJson(const dev::DocumentChanges& diff, Json& json) {
  json["units"] = ChangesJson(diff.units, UnitJson, UnitChangeJson);
  json["ports"] = ChangesJson(diff.ports, PortJson, PortChangeJson);
  json["drivers"] = ChangesJson(diff.drivers, DriverJson, nullptr);
  json["sets"] = ChangesJson(diff.sets, SetJson, SetChangeJson);
  json["sets"]["activeSet"] = Value(diff.activeSet);
  json["sets"]["setList"] = diff.setListAdded ? Json(*diff.setListAdded ? "added" : "removed") : Json(nullptr);
}

void PrintDiff(const Json& data, std::ostream& out) {
  out << "--- " << Text(data["a"]["label"]) << "\n+++ " << Text(data["b"]["label"]) << '\n';
  PrintChanges(data, out);
}

void PrintChanges(const Json& data, std::ostream& out) {
  PrintUnitsPortsDrivers(data, out);
  PrintSets(data["sets"], out);
}

}  // namespace kvodev
