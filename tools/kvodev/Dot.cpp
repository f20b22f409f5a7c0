#include "Dot.h"

#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "Utf8.h"

namespace kvodev {
namespace {

// Node ids carry their kind, so that a set and a port of one name stay two nodes.
std::string UnitNode(const std::wstring& id) { return DotQuoted("unit " + EncodeUtf8(id)); }
std::string PortNode(const std::wstring& port) { return DotQuoted("port " + EncodeUtf8(port)); }
std::string SetNode(const std::wstring& name) { return DotQuoted("set " + EncodeUtf8(name)); }

void Node(std::ostream& out, const std::string& id, const std::string& label, const char* attributes) {
  out << "  " << id << " [label=" << DotQuoted(label) << ", " << attributes << "];\n";
}

struct Links {
  std::vector<std::pair<std::wstring, std::wstring>> order;  // unit, port
  std::map<std::pair<std::wstring, std::wstring>, int> sides;  // 1 unit side, 2 port side
  void Add(const std::wstring& unit, const std::wstring& port, int side) {
    auto [at, isNew] = sides.emplace(std::pair{unit, port}, 0);
    if (isNew) order.push_back(at->first);
    at->second |= side;
  }
};

void Nodes(std::ostream& out, const dev::DocumentContent& content, std::set<std::string>& declared) {
  for (const dev::UnitEntry& unit : content.units) {
    if (!unit.hasId || !declared.insert(UnitNode(unit.id)).second) continue;
    const std::wstring& name = unit.name.empty() ? unit.model : unit.name;
    Node(out, UnitNode(unit.id), EncodeUtf8(unit.id + (name.empty() ? L"" : L"\n" + name)),
         unit.setup == L"exclude" ? "shape=box, style=dotted" : "shape=box");
  }
  for (const dev::PortEntry& port : content.ports)
    if (declared.insert(PortNode(port.portNo)).second)
      Node(out, PortNode(port.portNo), EncodeUtf8(port.portNo), "shape=ellipse");
  for (const dev::SetEntry& set : content.sets)
    if (declared.insert(SetNode(set.name)).second)
      Node(out, SetNode(set.name), EncodeUtf8(set.name),
           set.name == content.activeSet ? "shape=folder, peripheries=2" : "shape=folder");
}

}  // namespace

std::string DotQuoted(std::string_view utf8) {
  std::string quoted = "\"";
  for (const char c : utf8) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '\n') quoted += "\\n";
    else if (c != '\r') quoted += c;
  }
  return quoted + '"';
}

std::string ConfigurationDot(const dev::DocumentContent& content) {
  std::ostringstream out;
  out << "digraph kvodevice {\n  rankdir=LR;\n";
  std::set<std::string> declared;
  Nodes(out, content, declared);
  Links links;
  for (const dev::UnitEntry& unit : content.units)
    for (const std::wstring& port : unit.ports) links.Add(unit.id, port, 1);
  for (const dev::PortEntry& port : content.ports)
    for (const std::wstring& unit : port.units) links.Add(unit, port.portNo, 2);
  std::map<std::string, std::wstring> missing;  // node, the name it stands for
  const auto use = [&](const std::string& node, const std::wstring& name) {
    if (!declared.contains(node)) missing.emplace(node, name);
    return node;
  };
  for (const auto& link : links.order) {
    const int sides = links.sides[link];
    out << "  " << use(UnitNode(link.first), link.first) << " -> " << use(PortNode(link.second), link.second)
        << (sides == 3 ? " [dir=none]" : sides == 1 ? " [style=dashed, label=\"unit side only\"]"
                                                    : " [style=dashed, label=\"port side only\"]")
        << ";\n";
  }
  for (const dev::SetEntry& set : content.sets)
    for (const std::wstring& member : set.members)
      out << "  " << SetNode(set.name) << " -> " << use(UnitNode(member), member) << " [style=dotted];\n";
  for (const auto& [node, name] : missing)
    out << "  " << node << " [color=red, label=" << DotQuoted(EncodeUtf8(name) + "\n(missing)") << "];\n";
  out << "}\n";
  return out.str();
}

}  // namespace kvodev
