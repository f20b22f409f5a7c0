#include "DiffOutput.h"

#include "Utf8.h"

namespace kvodev {
namespace {

std::string Quoted(const std::wstring& value) {
  if (value.empty()) return "(none)";
  std::string text(1, '"');
  return text.append(EncodeUtf8(value)).append(1, '"');
}

std::string Joined(const std::vector<std::wstring>& names) {
  std::string text;
  for (const std::wstring& name : names) text.append(text.empty() ? "" : ", ").append(EncodeUtf8(name));
  return text;
}

std::string FieldName(const std::string& field) { return field == "serialNo" ? "serial number" : field; }

std::string Values(const std::vector<ValueChange>& values) {
  std::string text;
  for (const ValueChange& v : values)
    text.append(text.empty() ? "" : "; ").append(FieldName(v.field) + " " + Quoted(v.from) + " -> " + Quoted(v.to));
  return text;
}

// "; link to COM5 added; link to COM3 removed"
std::string Lists(const ListChange& change, const std::string& what) {
  std::string text;
  for (const std::wstring& name : change.added) text += "; " + what + " " + EncodeUtf8(name) + " added";
  for (const std::wstring& name : change.removed) text += "; " + what + " " + EncodeUtf8(name) + " removed";
  return text;
}

std::string Lines(int a, int b) { return " (line " + std::to_string(a) + " -> " + std::to_string(b) + "): "; }

// Everything a unit holds, for a unit that came or went.
std::string Describe(const dev::UnitEntry& unit) {
  std::string text;
  const auto add = [&text](const std::string& part) { text.append(text.empty() ? ": " : ", ").append(part); };
  for (const auto& [field, value] : {std::pair{"setup", &unit.setup},
                                     {"driver", &unit.driver},
                                     {"model", &unit.model},
                                     {"name", &unit.name},
                                     {"serialNo", &unit.serialNo}})
    if (!value->empty()) add(FieldName(field) + " " + Quoted(*value));
  if (!unit.ports.empty()) add("linked to " + Joined(unit.ports));
  return text;
}

std::string Describe(const dev::PortEntry& port) {
  return port.units.empty() ? ": no links" : ": linked to " + Joined(port.units);
}

std::string Describe(const dev::SetEntry& set) {
  return ": comment " + Quoted(set.comment) + "; members " + (set.members.empty() ? "none" : Joined(set.members));
}

void PrintUnits(const DocumentDiff& diff, std::ostream& out) {
  for (const dev::UnitEntry& u : diff.units.removed)
    out << "- unit " << EncodeUtf8(UnitName(u)) << " (line " << u.line << ")" << Describe(u) << '\n';
  for (const dev::UnitEntry& u : diff.units.added)
    out << "+ unit " << EncodeUtf8(UnitName(u)) << " (line " << u.line << ")" << Describe(u) << '\n';
  for (const UnitChange& c : diff.units.changed) {
    const std::string ports = Lists(c.ports, "link to");
    const std::string values = Values(c.values);
    out << "~ unit " << EncodeUtf8(UnitName(c.b)) << Lines(c.a.line, c.b.line)
        << (values.empty() ? ports.substr(2) : values + ports) << '\n';
  }
}

void PrintPortsAndDrivers(const DocumentDiff& diff, std::ostream& out) {
  for (const dev::PortEntry& p : diff.ports.removed)
    out << "- port " << EncodeUtf8(PortName(p)) << " (line " << p.line << ")" << Describe(p) << '\n';
  for (const dev::PortEntry& p : diff.ports.added)
    out << "+ port " << EncodeUtf8(PortName(p)) << " (line " << p.line << ")" << Describe(p) << '\n';
  for (const PortChange& c : diff.ports.changed)
    out << "~ port " << EncodeUtf8(PortName(c.b)) << Lines(c.a.line, c.b.line) << Lists(c.units, "link to").substr(2)
        << '\n';
  for (const dev::DriverEntry& d : diff.drivers.removed)
    out << "- driver file " << EncodeUtf8(d.file) << " (line " << d.line << ")\n";
  for (const dev::DriverEntry& d : diff.drivers.added)
    out << "+ driver file " << EncodeUtf8(d.file) << " (line " << d.line << ")\n";
}

void PrintSets(const DocumentDiff& diff, std::ostream& out) {
  if (diff.setListAdded) out << (*diff.setListAdded ? "+" : "-") << " the set list\n";
  for (const dev::SetEntry& s : diff.sets.removed)
    out << "- set " << Quoted(s.name) << " (line " << s.line << ")" << Describe(s) << '\n';
  for (const dev::SetEntry& s : diff.sets.added)
    out << "+ set " << Quoted(s.name) << " (line " << s.line << ")" << Describe(s) << '\n';
  for (const SetChange& c : diff.sets.changed) {
    const std::string comment = c.comment ? Values({*c.comment}) : "";
    const std::string members = Lists(c.members, "member");
    out << "~ set " << Quoted(c.b.name) << Lines(c.a.line, c.b.line)
        << (comment.empty() ? members.substr(2) : comment + members) << '\n';
  }
  if (diff.activeSet)
    out << "~ active set: " << Quoted(diff.activeSet->from) << " -> " << Quoted(diff.activeSet->to) << '\n';
}

void WriteNames(JsonWriter& json, std::string_view key, const std::vector<std::wstring>& names) {
  json.Key(key).BeginArray();
  for (const std::wstring& name : names) json.String(name);
  json.EndArray();
}

void WriteValue(JsonWriter& json, const std::optional<ValueChange>& change) {
  if (!change) {
    json.Null();
    return;
  }
  json.BeginObject().Member("from", change->from).Member("to", change->to).EndObject();
}

void WriteUnit(JsonWriter& json, const dev::UnitEntry& u) {
  json.BeginObject().Key("unit");
  u.hasId ? json.String(u.id) : json.Null();
  json.Member("line", u.line)
      .Member("setup", u.setup)
      .Member("driver", u.driver)
      .Member("model", u.model)
      .Member("name", u.name)
      .Member("serialNo", u.serialNo);
  WriteNames(json, "ports", u.ports);
  json.EndObject();
}

void WriteUnits(JsonWriter& json, const DocumentDiff& diff) {
  json.Key("units").BeginObject().Key("removed").BeginArray();
  for (const dev::UnitEntry& u : diff.units.removed) WriteUnit(json, u);
  json.EndArray().Key("added").BeginArray();
  for (const dev::UnitEntry& u : diff.units.added) WriteUnit(json, u);
  json.EndArray().Key("changed").BeginArray();
  for (const UnitChange& c : diff.units.changed) {
    json.BeginObject().Key("unit");
    c.b.hasId ? json.String(c.b.id) : json.Null();
    json.Member("lineA", c.a.line).Member("lineB", c.b.line).Key("values").BeginArray();
    for (const ValueChange& v : c.values)
      json.BeginObject().Member("field", v.field).Member("from", v.from).Member("to", v.to).EndObject();
    json.EndArray();
    WriteNames(json, "linksAdded", c.ports.added);
    WriteNames(json, "linksRemoved", c.ports.removed);
    json.EndObject();
  }
  json.EndArray().EndObject();
}

void WritePort(JsonWriter& json, const dev::PortEntry& p) {
  json.BeginObject().Member("interface", p.interfaceName).Member("port", p.portNo).Member("line", p.line);
  WriteNames(json, "units", p.units);
  json.EndObject();
}

void WritePorts(JsonWriter& json, const DocumentDiff& diff) {
  json.Key("ports").BeginObject().Key("removed").BeginArray();
  for (const dev::PortEntry& p : diff.ports.removed) WritePort(json, p);
  json.EndArray().Key("added").BeginArray();
  for (const dev::PortEntry& p : diff.ports.added) WritePort(json, p);
  json.EndArray().Key("changed").BeginArray();
  for (const PortChange& c : diff.ports.changed) {
    json.BeginObject().Member("interface", c.b.interfaceName).Member("port", c.b.portNo);
    json.Member("lineA", c.a.line).Member("lineB", c.b.line);
    WriteNames(json, "unitsAdded", c.units.added);
    WriteNames(json, "unitsRemoved", c.units.removed);
    json.EndObject();
  }
  json.EndArray().EndObject();
}

void WriteDrivers(JsonWriter& json, const DocumentDiff& diff) {
  json.Key("drivers").BeginObject();
  for (const auto& [key, list] : {std::pair{"removed", &diff.drivers.removed}, {"added", &diff.drivers.added}}) {
    json.Key(key).BeginArray();
    for (const dev::DriverEntry& d : *list)
      json.BeginObject().Member("file", d.file).Member("line", d.line).EndObject();
    json.EndArray();
  }
  json.EndObject();
}

void WriteSet(JsonWriter& json, const dev::SetEntry& s) {
  json.BeginObject().Member("set", s.name).Member("line", s.line).Member("comment", s.comment);
  WriteNames(json, "members", s.members);
  json.EndObject();
}

void WriteSets(JsonWriter& json, const DocumentDiff& diff) {
  json.Key("sets").BeginObject().Key("removed").BeginArray();
  for (const dev::SetEntry& s : diff.sets.removed) WriteSet(json, s);
  json.EndArray().Key("added").BeginArray();
  for (const dev::SetEntry& s : diff.sets.added) WriteSet(json, s);
  json.EndArray().Key("changed").BeginArray();
  for (const SetChange& c : diff.sets.changed) {
    json.BeginObject().Member("set", c.b.name).Member("lineA", c.a.line).Member("lineB", c.b.line).Key("comment");
    WriteValue(json, c.comment);
    WriteNames(json, "membersAdded", c.members.added);
    WriteNames(json, "membersRemoved", c.members.removed);
    json.EndObject();
  }
  json.EndArray().Key("activeSet");
  WriteValue(json, diff.activeSet);
  json.Key("setList");
  diff.setListAdded ? json.String(*diff.setListAdded ? "added" : "removed") : json.Null();
  json.EndObject();
}

void WriteDocument(JsonWriter& json, std::string_view key, const ChosenDocument& document) {
  json.Key(key).BeginObject().Member("path", document.path.string()).Key("version");
  document.number != 0 ? json.Number(static_cast<std::int64_t>(document.number)) : json.Null();
  json.EndObject();
}

}  // namespace

void PrintDiff(const DocumentDiff& diff, const ChosenDocument& a, const ChosenDocument& b, std::ostream& out) {
  out << "--- " << a.label << "\n+++ " << b.label << '\n';
  PrintUnits(diff, out);
  PrintPortsAndDrivers(diff, out);
  PrintSets(diff, out);
}

void WriteDiff(const DocumentDiff& diff, const ChosenDocument& a, const ChosenDocument& b, JsonWriter& json) {
  WriteDocument(json, "a", a);
  WriteDocument(json, "b", b);
  json.Member("different", !diff.empty());
  WriteUnits(json, diff);
  WritePorts(json, diff);
  WriteDrivers(json, diff);
  WriteSets(json, diff);
}

}  // namespace kvodev
